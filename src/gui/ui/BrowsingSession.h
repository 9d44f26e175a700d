#pragma once

#include "core/browse/BrowsingState.h"

#include <QObject>

#include <string>
#include <vector>

class HistoryPresenter;
class HistoryViews;
class RomFolderReader;
class RomListBox;

namespace marlit {
struct SystemEntry;
}

// The one browsing state of the program and what choosing in it asks for: a system's folders
// read by the folder readers, a folder's ROMs, a view of the play history. Every view of the
// browsing (the desktop window, the TV view) chooses through it and follows its signals, so
// that each shows what the other chose.
class BrowsingSession : public QObject
{
    Q_OBJECT

public:
    BrowsingSession(RomFolderReader &reader, HistoryPresenter &presenter, HistoryViews &views, RomListBox *romList,
                    QObject *parent = nullptr);

    const marlit::BrowsingState &state() const { return m_state; }

    void restore(int category, int system) { m_state.restore(category, system); }
    // The row of catalogue to select in the category chosen (see BrowsingState).
    int chooseCategory(int category, const marlit::CategoryCatalogue &catalogue, bool restoring);
    // The system at row of the current category (entry: its record, or nothing): its folders
    // and the ROMs of its ROM directory are read, or the list says why there are none.
    void chooseSystem(int row, const marlit::SystemEntry *entry);
    void moveSystem(int row) { m_state.moveSystem(row); }
    // A folder below the ROM directory, or a view of the system's play history (for a view,
    // treePath is not used). A view fills the list; for a folder (true) the caller has the
    // folder's list read.
    bool chooseFolder(marlit::BrowseView view, const std::vector<std::string> &treePath);
    // The list's row chosen; its name becomes the browsing's ROM.
    void chooseRom(int row);
    void toggleSearchMode();
    void applyOrClear(const std::string &text);
    void applyAfresh(const std::string &text);

    // The folder of the list's row: a history view's rows each have their own.
    std::string folderOf(int row) const;

signals:
    void systemChosen();
    void folderChosen();
    void romChosen();
    void searchChanged();

private:
    // Fills the list with the history view or all the games chosen; false for a folder or
    // without a system.
    bool showHistoryView();

    marlit::BrowsingState m_state;
    RomFolderReader &m_reader;
    HistoryPresenter &m_presenter;
    HistoryViews &m_views;
    RomListBox *m_romList;
};
