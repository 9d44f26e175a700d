#pragma once

#include <QObject>

#include <set>

class MainFrame;
class QAction;
class TvView;

// "TV Mode" for the window: F11, the window's menu and the system list's menu enter it, and the
// window gives way to the full-screen TV view of the same browsing; F11, "Leave TV Mode" or
// going back from the systems row leave it, and the window shows again on the system and ROM
// chosen meanwhile. The TV view is made at the first entry, or ahead of it (prepare()).
class TvMode : public QObject
{
    Q_OBJECT

public:
    explicit TvMode(MainFrame &frame, QObject *parent = nullptr);
    ~TvMode() override;

    // Loads the TV view's typefaces at the sizes of the window's screen, so that the first entry
    // does not look them up: a few milliseconds, for a turn when the window is idle.
    void prepareType() const;

    // Makes the TV view and its full-screen frame buffer ahead of the first entry, in short
    // turns while the window is idle, so that the entry itself is as quick as the next ones: for
    // a user likely to enter (a game controller attached). The frame buffer's memory is held
    // from then on. prepared() tells when it is over.
    void prepare();
    bool prepared() const;

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
    void makeView();
    void prepareText(int part);

    MainFrame &m_frame;
    TvView *m_view = nullptr;
    bool m_preparing = false;
    QAction *m_action;
    std::set<quint64> m_running; // the plays under way, for the menu's "Stop Game"
};
