#pragma once

#include "core/browse/RomNames.h"
#include "core/history/HistoryView.h"
#include "gui/ui/ListBoxView.h"

#include <QColor>
#include <QString>

#include <string>
#include <vector>

class QAction;
class PaintHold;
class RomListModel;
class RomRowDelegate;

// The ROM list: striped rows, each led by a small file icon (a star for a favourite), the file
// name in the user's font and colour. Uniform row heights, so tens of thousands of names scroll
// and fill at once. Its menu (right click, the Menu key) plays the ROM, adds it to or removes it
// from the favourites (Ctrl+D anywhere in the window), forgets its play history and stops the
// running game.
class RomListBox : public ListBoxView
{
    Q_OBJECT

public:
    explicit RomListBox(QWidget *parent = nullptr);
    ~RomListBox() override;

    // Replaces the names (already sorted) in one step; no row is selected afterwards.
    void setNames(marlit::RomNames names);
    void clearNames();
    // Empties the list for a refill on its way: nothing stale can be chosen from then on, but
    // the empty list is painted only if the names take longer than a frame or two.
    void awaitNames();
    // Replaces the names (sorted as NameOrder sorts) with the same folder's names read again,
    // keeping the selected name and the row at the top where they still are, without
    // reporting a change. Gives false when the selected name is gone (nothing is selected then).
    bool replaceNames(marlit::RomNames names);
    // Replaces the rows with rows of their own folders, in their order, without reporting a
    // change; the row of the ROM at keptPath, if it is among them, stays selected.
    void setRows(std::vector<marlit::HistoryView::Row> rows, const std::string &keptPath);

    // What the list area says about its folder (reading, unreadable, no folder set): across
    // the empty list, or in a band along its bottom when the list has rows. Empty: nothing.
    void setPlaceholder(const QString &text);
    const QString &placeholder() const { return m_placeholder; }
    int count() const;
    std::string nameAt(int row) const;

    // Font face and size (tenths of a point) and text colour of every row; the row height
    // follows the font (its pixel height + 2) and every row is repainted.
    void SetItemFont(const QString &face, int pointSizeTenths, const QColor &color);
    int itemHeight() const;
    QFont itemFont() const;
    QColor textColor() const;

    RomListModel *romModel() const { return m_model; }

    // "Stop Game" (the menu, Shift+F5 anywhere in the window) is offered only while one runs.
    void setGameRunning(bool running);

signals:
    // Enter pressed (each press, not each auto-repeat) or a row double-clicked.
    void playRequested();
    // The current row changed by the user (mouse or keyboard), not by a refill.
    void romSelectionChanged();
    // Ctrl+D or the menu: the selected ROM's favourite mark is to change.
    void favouriteToggleRequested();
    // The menu: the selected ROM's plays are to be forgotten.
    void forgetHistoryRequested();
    // "Stop Game": the running emulator is to end.
    void stopGameRequested();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    // The row of name; -1 when it is not listed, or with orNext the row a name-ordered list
    // would give it.
    int rowOf(const std::string &name, bool orNext = false) const;

    RomListModel *m_model = nullptr;
    RomRowDelegate *m_delegate = nullptr;
    QAction *m_favouriteAction = nullptr;
    QAction *m_stopGameAction = nullptr;
    PaintHold *m_paintHold = nullptr;
    QString m_placeholder;
};
