#pragma once

#include "core/browse/RomSearch.h"
#include "core/history/HistoryView.h"
#include "core/history/RomHistory.h"

#include <QObject>

#include <chrono>

#include <optional>

class EmulatorStarter;
class FolderReaderPool;
class PlayHistory;
class RomListBox;
class RomPresenceCheck;
class QTimer;

// Fills the ROM list with one of the play history's views of a system: its favourites by name,
// or its latest plays, newest first, each row with its plays drawn at its right. The history is
// asked on its own thread and only the newest answer is shown; the rows' files are then looked
// for by a folder reader process, and those no longer on disk are greyed, not hidden.
//
// What is shown follows what happens: a play, or forgotten plays, ask for the view again
// (keeping the selected ROM), and a file that comes or goes in the rows' folders is looked for
// again. A favourite unmarked in "Favourites" keeps its row, without its star, until the view
// is chosen again, so that a slip of Ctrl+D is undone where it was made.
class HistoryViews : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kReadAgain{3000};

    HistoryViews(PlayHistory &history, RomListBox *romList, EmulatorStarter &starter, FolderReaderPool &readers,
                 QObject *parent = nullptr);

    // Shows view of system, keeping the names search keeps.
    void show(marlit::HistoryView::Kind view, const marlit::SystemKey &system, const marlit::RomSearch &search);
    // The list shows something else: answers still to come are dropped.
    void stop();
    const std::optional<marlit::HistoryView::Kind> &shown() const { return m_view; }

private:
    // Asks for the shown view again; the ROM at keptPath stays selected.
    void ask(const std::string &keptPath);
    void refresh();
    // What the list says across an empty view; empty: nothing.
    void sayEmpty(const QString &text);

    PlayHistory &m_history;
    RomListBox *m_romList;
    RomPresenceCheck *m_presence;
    QTimer *m_readAgain;
    std::optional<marlit::HistoryView::Kind> m_view;
    marlit::SystemKey m_system;
    marlit::RomSearch m_search;
    bool m_saidEmpty = false;
};
