#pragma once

#include "core/browse/BrowsingState.h"
#include "core/ui/TvLayout.h"
#include "gui/snapshots/SnapshotImage.h"

#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class ListBoxView;
class MainFrame;
class QLabel;
class QListView;
class QStandardItemModel;
class SnapshotLoader;
class TvItemDelegate;
class TvLetterGrid;
class TvMenu;
class TvSystemModel;
class TvText;

// The full-screen TV view of the window's browsing, to be read from the sofa and driven by keys
// alone (a gamepad's buttons arrive as the same keys): the systems of every category in one row,
// the system's views ("ROMS", "Favourites", ...) in a row below, its games in large type on the
// left and the selected game's pictures large on the right.
//
// It shows and chooses the window's own browsing: the game list is the window's ROM list's
// model and selection, and choosing a system, a view or a search here chooses it in the window,
// so that both show the same system and ROM whichever is left.
//
// Keys: the arrows move (Up and Down also between the rows; Left and Right a page of games in
// the game list); Enter plays, or chooses and goes
// down to the games; Escape or Backspace goes back up, and from the systems leaves; Page Up and
// Page Down choose the previous or next system, Ctrl with them the first system of the previous
// or next category; Ctrl+F searches with the on-screen letters; Ctrl+D marks a favourite; the
// Menu key opens the menu; F11 leaves.
class TvView : public QWidget
{
    Q_OBJECT

public:
    enum MenuEntry { PlayEntry, FavouriteEntry, SearchEntry, StopGameEntry, LeaveEntry };

    explicit TvView(MainFrame &frame, QWidget *parent = nullptr);
    ~TvView() override;

    // Shows the window's browsing as it is now (the systems read again), the games focused.
    void follow();
    // Makes ahead the images of the glyphs the next entry shows first (its views and the games
    // around the window's ROM), which would otherwise be made in the entry's turn: a part at a
    // call, from 0; false when part was the last.
    bool prepareText(int part);
    // Whether the menu offers "Stop Game".
    void setGameRunning(bool running) { m_gameRunning = running; }

    const marlit::TvGeometry &geometry() const { return m_geometry; }
    QListView *systemRow() const { return m_systems; }
    QListView *viewRow() const { return m_views; }
    ListBoxView *gameList() const { return m_games; }
    TvLetterGrid *letterGrid() const { return m_letters; }
    TvMenu *menu() const { return m_menu; }
    const std::optional<SnapshotImage> &picture(int slot) const { return m_pictures[static_cast<std::size_t>(slot)]; }
    // What the game lists say of the chosen game, under its pictures: its facts on one line, its
    // description; empty for a game they do not describe.
    const QString &gameFacts() const { return m_gameFacts; }
    const QString &gameDescription() const { return m_gameDescription; }
    SnapshotLoader &snapshotLoader() const { return *m_loader; }

signals:
    void leaveRequested();
    void stopGameRequested();
    void favouriteToggleRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // A key for the whole view; false when the focused row is to handle it.
    bool handleKey(QWidget *row, int key, Qt::KeyboardModifiers modifiers);
    void back(QWidget *row);
    void choose(QWidget *row);
    void pageGames(int step);
    void stepSystem(int step);
    void stepCategory(int step);
    void openSearch();
    void openMenu();
    void onMenuChosen(int id);
    void onSystemRowMoved();
    void onSystemChosen();
    void onFolderChosen();
    void onGameMoved();
    void onGamesChanged();
    void onPictureReady(int slot, const SnapshotImage &image);
    void fillViews();
    void layoutParts();
    // The rectangles of the pictures the shown system has (slot A, slot B), in the picture area
    // (above the chosen game's description, when it has one).
    std::array<QRect, 2> pictureRects() const;
    // The part of the picture area below the pictures that the game's description takes; empty
    // when it has none.
    QRect descriptionRect() const;
    void describeGame(int row);

    MainFrame &m_frame;
    std::unique_ptr<TvText> m_text; // the large type of the rows, the letters and the menu
    marlit::TvGeometry m_geometry;
    TvSystemModel *m_systemModel;
    QStandardItemModel *m_viewModel;
    QListView *m_systems;
    QListView *m_views;
    ListBoxView *m_games;
    TvItemDelegate *m_systemDelegate;
    TvItemDelegate *m_viewDelegate;
    TvItemDelegate *m_gameDelegate;
    QLabel *m_empty;
    TvLetterGrid *m_letters;
    TvMenu *m_menu;
    SnapshotLoader *m_loader;
    std::array<std::optional<SnapshotImage>, 2> m_pictures;
    QString m_gameFacts;
    QString m_gameDescription;
    bool m_following = false; // set while the rows follow the window's browsing
    bool m_gameRunning = false;
    bool m_passing = false; // set while a key is handed to a row past the view's own keys
};
