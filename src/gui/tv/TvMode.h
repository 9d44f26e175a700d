#pragma once

#include <QObject>

#include <set>

class MainFrame;
class QAction;
class TvView;

// "TV Mode" for the window: F11, the window's menu and the system list's menu enter it, and the
// window gives way to the full-screen TV view of the same browsing; F11, "Leave TV Mode" or
// going back from the systems row leave it, and the window shows again on the system and ROM
// chosen meanwhile. The TV view is made at the first entry.
class TvMode : public QObject
{
    Q_OBJECT

public:
    explicit TvMode(MainFrame &frame, QObject *parent = nullptr);
    ~TvMode() override;

    // The TV view's type, up to 128 pixels, is drawn from the glyph cache as small type is: the
    // toolkit otherwise draws glyphs above 64 pixels as outlines, anew at every paint, which
    // makes a 4K screen's list slow to scroll. Takes effect only before the first text is drawn.
    static void cacheLargeGlyphs();

    // Loads the TV view's typefaces at the sizes of the window's screen, so that the first entry
    // does not look them up: a few milliseconds, for a turn when the window is idle.
    void prepareType() const;

    void enter();
    void leave();
    void toggle();
    bool active() const;
    // Nothing before the first entry.
    TvView *view() const { return m_view; }

signals:
    // The TV view's "Stop Game": the running game is to end.
    void stopGameRequested();

private:
    MainFrame &m_frame;
    TvView *m_view = nullptr;
    QAction *m_action;
    std::set<quint64> m_running; // the plays under way, for the menu's "Stop Game"
};
