#include "gui/launch/LaunchNotice.h"

#include <algorithm>

#include <QClipboard>
#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

constexpr int kMargin = 6;

// The first and last eachEnd characters of text with an ellipsis between, or text when it is not
// longer; no surrogate pair is split.
QString bothEnds(const QString &text, qsizetype eachEnd)
{
    if (text.size() <= 2 * eachEnd + 1)
        return text;
    qsizetype headEnd = eachEnd;
    if (text.at(headEnd - 1).isHighSurrogate())
        --headEnd;
    qsizetype tailStart = text.size() - eachEnd;
    if (text.at(tailStart).isLowSurrogate())
        ++tailStart;
    return text.left(headEnd) + QChar(0x2026) + text.mid(tailStart);
}

// An emulator's own lines as a terminal would show them: colour codes and carriage returns out.
QString asShown(const QString &output)
{
    static const QRegularExpression escapes(QStringLiteral("\x1b\\[[0-9;?]*[ -/]*[@-~]|\r"));
    return QString(output).remove(escapes);
}

} // namespace

LaunchNotice::LaunchNotice(QWidget *host)
    : QFrame(host), m_host(host), m_messageLabel(new QLabel(this)), m_outputView(new QPlainTextEdit(this)),
      m_commandLabel(new QLabel(this)), m_copyButton(new QPushButton(tr("Copy"), this))
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
    m_outputView->setObjectName(QStringLiteral("launchNoticeOutput"));
    m_outputView->setReadOnly(true);
    m_outputView->setFocusPolicy(Qt::NoFocus);
    m_outputView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_outputView->setFrameShape(QFrame::NoFrame);
    m_outputView->setBackgroundRole(QPalette::ToolTipBase);
    m_outputView->setForegroundRole(QPalette::ToolTipText);
    m_outputView->viewport()->setAutoFillBackground(false);
    m_outputView->hide();
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

    // The reason across the whole width, the emulator's lines below it, then the command line
    // and its copy button.
    auto *command = new QHBoxLayout;
    command->addWidget(m_commandLabel, 1);
    command->addWidget(m_copyButton);
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(kMargin, kMargin / 2, kMargin, kMargin / 2);
    rows->setSpacing(2);
    rows->addWidget(m_messageLabel);
    rows->addWidget(m_outputView);
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

void LaunchNotice::showFailure(const QString &message, const QString &commandLine, const QString &emulatorOutput)
{
    m_message = message;
    m_commandLine = commandLine;
    m_shownCommandLine = bothEnds(commandLine, kShownCommandEnd);
    m_emulatorOutput = emulatorOutput;
    m_messageLabel->setText(message);
    m_commandLabel->setToolTip(m_shownCommandLine);
    // Nothing was run when there is no command line: no line to show or copy.
    m_commandLabel->setVisible(!commandLine.isEmpty());
    m_copyButton->setVisible(!commandLine.isEmpty());

    const QString output = asShown(emulatorOutput);
    m_outputView->setPlainText(output);
    const int rows = std::min<int>(kOutputRows, static_cast<int>(output.count(QLatin1Char('\n'))) + 1);
    m_outputView->setFixedHeight(rows * m_outputView->fontMetrics().lineSpacing() +
                                 2 * static_cast<int>(m_outputView->document()->documentMargin()) + 2);
    m_outputView->setVisible(!output.isEmpty());

    placeOverHost();
    fitCommandLine();
    raise();
    show();
    m_outputView->moveCursor(QTextCursor::End); // the last lines say most
    m_outputView->ensureCursorVisible();
    m_hideTimer.start();
}

void LaunchNotice::moveToHost(QWidget *host, const QFont &font)
{
    setFont(font);
    if (host == m_host)
        return;
    const bool shown = isVisible();
    m_host->removeEventFilter(this);
    m_host = host;
    setParent(host); // hides it
    host->installEventFilter(this);
    if (shown) {
        placeOverHost();
        fitCommandLine();
        raise();
        show();
    }
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
    m_commandLabel->setText(m_commandLabel->fontMetrics().elidedText(m_shownCommandLine, Qt::ElideMiddle,
                                                                     std::max(0, m_commandLabel->width())));
}

void LaunchNotice::copyCommandLine()
{
    QGuiApplication::clipboard()->setText(m_commandLine);
}
