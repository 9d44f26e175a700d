#include "gui/tv/TvMode.h"

#include "gui/launch/EmulatorStarter.h"
#include "gui/launch/LaunchNotice.h"
#include "gui/tv/FrameBufferWarmer.h"
#include "gui/tv/TvItemDelegate.h"
#include "gui/tv/TvView.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"

#include "core/ui/TvLayout.h"

#include <QAction>
#include <QFontMetrics>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int kPrepareAfterMs = 2000;

} // namespace

TvMode::TvMode(MainFrame &frame, QObject *parent) : QObject(parent), m_frame(frame)
{
    // In the window's own menu (a right click where no control has one) with its key.
    m_action = new QAction(QStringLiteral("TV Mode"), &m_frame);
    m_action->setObjectName(QStringLiteral("tvModeAction"));
    m_action->setShortcut(Qt::Key_F11);
    m_action->setShortcutContext(Qt::WindowShortcut);
    m_frame.addAction(m_action);
    m_frame.setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_action, &QAction::triggered, this, &TvMode::enter);
    connect(&m_frame, &MainFrame::tvModeRequested, this, &TvMode::enter);

    // Once the window's start is over, while the user looks at it.
    QTimer::singleShot(kPrepareAfterMs, this, [this] {
        if (!m_view)
            prepareType();
    });

    EmulatorStarter &starter = m_frame.emulatorStarter();
    connect(&starter, &EmulatorStarter::playStarted, this, [this](quint64 id) {
        m_running.insert(id);
        if (m_view)
            m_view->setGameRunning(true);
    });
    connect(&starter, &EmulatorStarter::playEnded, this, [this](quint64 id) {
        m_running.erase(id);
        if (m_view)
            m_view->setGameRunning(!m_running.empty());
    });
}

TvMode::~TvMode()
{
    delete m_view;
}

void TvMode::prepareType() const
{
    const QRect screen = m_frame.screen()->geometry();
    const marlit::TvGeometry geometry = marlit::TvLayout::compute(screen.width(), screen.height());
    const QString sample = QStringLiteral("Marlit 0123456789 \u2026");
    for (const auto &[pixels, bold] : {std::pair{geometry.titlePixels, true}, std::pair{geometry.titlePixels, false},
                                       std::pair{geometry.gamePixels, false}, std::pair{geometry.gamePixels, true},
                                       std::pair{geometry.smallPixels, false}})
        QFontMetrics(TvItemDelegate::font(pixels, bold)).horizontalAdvance(sample);
}

void TvMode::prepare()
{
    if (m_view || m_preparing)
        return;
    m_preparing = true;
    prepareType();
    // The view on the next turn, its frame buffer on the turns after it.
    QTimer::singleShot(0, this, [this] {
        if (m_view) {
            m_preparing = false; // entered meanwhile
            return;
        }
        makeView();
        auto *warmer = new FrameBufferWarmer(m_view, TvItemDelegate::kBackground, this);
        // Then, on turns of their own, the glyphs of the entry's first paint.
        connect(warmer, &FrameBufferWarmer::done, this, [this, warmer] {
            warmer->deleteLater();
            prepareText(0);
        });
        warmer->start();
    });
}

void TvMode::prepareText(int part)
{
    QTimer::singleShot(0, this, [this, part] {
        if (!active() && m_view->prepareText(part))
            prepareText(part + 1);
        else
            m_preparing = false;
    });
}

bool TvMode::prepared() const
{
    return m_view && !m_preparing;
}

bool TvMode::active() const
{
    return m_view && m_view->isVisible();
}

void TvMode::toggle()
{
    active() ? leave() : enter();
}

void TvMode::enter()
{
    if (active())
        return;
    makeView();
    m_view->setGameRunning(!m_running.empty());
    // On the screen the window is on, whole.
    QScreen *screen = m_frame.screen();
    m_view->setGeometry(screen->geometry());
    m_view->showFullScreen();
    m_frame.hide();
    m_frame.pausePictures(true);
    // A play that fails is said where the user looks, in the view's type.
    m_frame.emulatorStarter().notice()->moveToHost(m_view, TvItemDelegate::font(m_view->geometry().smallPixels));
    m_view->follow();
    m_view->activateWindow();
}

void TvMode::makeView()
{
    if (m_view)
        return;
    // A window of its own: the desktop window keeps its size and place for its return.
    m_view = new TvView(m_frame);
    connect(m_view, &TvView::leaveRequested, this, &TvMode::leave);
    connect(m_view, &TvView::stopGameRequested, this, &TvMode::stopGameRequested);
    connect(m_view, &TvView::favouriteToggleRequested, &m_frame.romListBox(), &RomListBox::favouriteToggleRequested);
}

void TvMode::leave()
{
    if (!active())
        return;
    m_frame.emulatorStarter().notice()->moveToHost(&m_frame.romListBox());
    m_frame.pausePictures(false);
    m_frame.show();
    m_view->hide();
    m_frame.activateWindow();
    m_frame.raise();
    // The ROM chosen in the TV view is in sight in the window's list.
    RomListBox &romList = m_frame.romListBox();
    if (romList.currentIndex().isValid())
        romList.scrollTo(romList.currentIndex());
}
