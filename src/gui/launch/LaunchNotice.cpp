#include "gui/launch/LaunchNotice.h"

#include <algorithm>

#include <QClipboard>
#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

constexpr int kMargin = 6;

} // namespace

LaunchNotice::LaunchNotice(QWidget *host)
    : QFrame(host), m_host(host), m_messageLabel(new QLabel(this)), m_commandLabel(new QLabel(this)),
      m_copyButton(new QPushButton(tr("Copy"), this))
{
    setObjectName(QStringLiteral("launchNotice"));
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);

    m_messageLabel->setObjectName(QStringLiteral("launchNoticeMessage"));
    m_messageLabel->setTextFormat(Qt::PlainText);
    m_messageLabel->setWordWrap(true); // the reason is the point: it wraps rather than being cut
    QFont bold = m_messageLabel->font();
    bold.setBold(true);
    m_messageLabel->setFont(bold);
    m_commandLabel->setObjectName(QStringLiteral("launchNoticeCommand"));
    m_commandLabel->setTextFormat(Qt::PlainText);
    m_commandLabel->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_commandLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    for (QLabel *label : {m_messageLabel, m_commandLabel})
        label->setForegroundRole(QPalette::ToolTipText);
    m_copyButton->setObjectName(QStringLiteral("launchNoticeCopy"));
    m_copyButton->setToolTip(tr("Copy the command line to the clipboard"));
    m_copyButton->setFocusPolicy(Qt::NoFocus);
    connect(m_copyButton, &QPushButton::clicked, this, &LaunchNotice::copyCommandLine);

    // The reason across the whole width; below it the command line and its copy button.
    auto *command = new QHBoxLayout;
    command->addWidget(m_commandLabel, 1);
    command->addWidget(m_copyButton);
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(kMargin, kMargin / 2, kMargin, kMargin / 2);
    rows->setSpacing(2);
    rows->addWidget(m_messageLabel);
    rows->addLayout(command);

    // Only while the notice is shown: a shortcut is active while its widget is visible.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::hide);

    m_hideTimer.setSingleShot(true);
    m_hideTimer.setInterval(kShownMilliseconds);
    connect(&m_hideTimer, &QTimer::timeout, this, &QWidget::hide);

    host->installEventFilter(this);
    hide();
}

void LaunchNotice::showFailure(const QString &message, const QString &commandLine)
{
    m_message = message;
    m_commandLine = commandLine;
    m_messageLabel->setText(message);
    m_commandLabel->setToolTip(commandLine);
    // Nothing was run when there is no command line: no line to show or copy.
    m_commandLabel->setVisible(!commandLine.isEmpty());
    m_copyButton->setVisible(!commandLine.isEmpty());
    placeOverHost();
    fitCommandLine();
    raise();
    show();
    m_hideTimer.start();
}

bool LaunchNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host && event->type() == QEvent::Resize)
        placeOverHost();
    return QFrame::eventFilter(watched, event);
}

void LaunchNotice::enterEvent(QEnterEvent *event)
{
    m_hideTimer.stop(); // the notice stays while it is being read or its button reached for
    QFrame::enterEvent(event);
}

void LaunchNotice::leaveEvent(QEvent *event)
{
    if (isVisible())
        m_hideTimer.start();
    QFrame::leaveEvent(event);
}

void LaunchNotice::mousePressEvent(QMouseEvent *event)
{
    event->accept(); // a click on the notice selects no ROM row beneath it
}

void LaunchNotice::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    fitCommandLine();
}

void LaunchNotice::placeOverHost()
{
    const int width = std::max(0, m_host->width() - 2 * kMargin);
    const int wanted = hasHeightForWidth() ? heightForWidth(width) : sizeHint().height();
    const int height = std::min(wanted, m_host->height());
    setGeometry(kMargin, std::max(0, m_host->height() - height - kMargin), width, height);
}

void LaunchNotice::fitCommandLine()
{
    // The program and the ROM are at the two ends: the middle gives way.
    m_commandLabel->setText(
        m_commandLabel->fontMetrics().elidedText(m_commandLine, Qt::ElideMiddle, std::max(0, m_commandLabel->width())));
}

void LaunchNotice::copyCommandLine()
{
    QGuiApplication::clipboard()->setText(m_commandLine);
}
