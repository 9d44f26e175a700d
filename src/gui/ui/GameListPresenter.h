#pragma once

#include "core/browse/RomNames.h"
#include "core/browse/RomSearch.h"
#include "core/history/RomHistory.h"
#include "core/metadata/GameCollection.h"
#include "core/metadata/GameListPlaces.h"
#include "core/metadata/GameOrder.h"

#include <QFutureWatcher>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class FolderReaderPool;
class PlayHistory;
class GameDetailsPanel;
class GameListFolders;
class GameListLoader;
class QComboBox;
class QLabel;
class RomListBox;
class RomPresenceCheck;
class QWidget;

namespace marlit {
struct SystemEntry;
}

// Ties what other front-ends know of the shown system's games to the window: its game lists are
// read (off the UI thread) when the system is shown; then the ROM list shows their titles and
// marks, the details panel describes the selected ROM, the pictures of their media folders fill
// the snapshot slots the system's own folders leave empty, and "Sort by" orders the list.
// A game list that cannot be used is said once; the system then works as without it.
class GameListPresenter : public QObject
{
    Q_OBJECT

public:
    static constexpr int kSlots = 2;
    // Tells the user something about the game lists (the window's notice area).
    using Say = std::function<void(const QString &text)>;

    // The places of the game lists are looked at first by readers (a folder reader process),
    // and their folders listed there: only files that answer are read in this process.
    // The orders by plays weigh the shown system's plays in history (shownSystem tells which
    // system that is) beside the game lists' own.
    using ShownSystem = std::function<std::optional<marlit::SystemKey>()>;
    GameListPresenter(RomListBox *romList, QWidget *window, FolderReaderPool &readers, PlayHistory &history,
                      ShownSystem shownSystem, Say say);
    ~GameListPresenter() override;

    // The system now shown (none: nothing). The game list file and media folder chosen for it in
    // System Configuration go before the usual places; its slots take the kinds chosen there.
    void showSystem(const marlit::SystemEntry *entry);
    // The shown system's ROM folder has answered a read: its game lists may be looked for now.
    // They are looked for by a folder reader process, and only the places it found are read
    // here: a share that does not answer (the ROM folder's, or one under the user's own places)
    // is never touched by a thread of this process, where a look-up stuck in the kernel would
    // keep the program from ending.
    // metafiles are folder's Pegasus metafiles as the readers found them, whatever the search
    // and the file types left of its ROMs.
    void romFolderAnswered(const std::string &folder, const std::vector<std::string> &metafiles);
    // The ROM list's row now selected (-1: none): the panel describes it.
    void showRom(int row);

    // Whether the shown system has a game list or media folder: the panel and "Sort by" are
    // shown then.
    bool describes() const { return m_games && !m_games->empty(); }
    const marlit::GameCollection *games() const { return m_games.get(); }
    // Whether they have pictures: the system then has a cell for each slot.
    bool hasPictures() const { return m_games && m_games->hasPictures; }
    // The picture of the ROM at romPath for slot, from the kinds chosen for it; empty for none.
    std::string picture(int slot, const std::string &romPath) const;

    // What was found for the shown system, for System Configuration's "Game Lists:" line; empty
    // when nothing was.
    QString foundText() const;

    marlit::GameSort sort() const { return m_sort; }
    // The search the folder readers apply for search: none while games are described, whose
    // titles the readers do not know.
    marlit::RomSearch readersSearch(const marlit::RomSearch &search) const;
    // names, read from folder, narrowed by search to those whose file name or title it keeps.
    marlit::RomNames shown(marlit::RomNames names, const std::string &folder, const marlit::RomSearch &search) const;
    // Whether names, as shown() gave them, come later through namesOrdered, in the order chosen
    // (ties by the titles shown): a long list of a described system in that order, which is made
    // on a worker (some 20 ms for 50,000 rows). A short one is put in that order at once. Either
    // way, an order under way for an earlier list is forgotten.
    bool ordersLater(marlit::RomNames &names, const std::string &folder, bool refresh);
    // Whether an order ordersLater began is under way: it follows game lists that arrive
    // meanwhile.
    bool ordering() const { return m_orderUnderWay != 0 && m_orderUnderWay == m_orderGeneration; }

    // Runs the event loop until the places are checked, read and the collection delivered, or
    // timeoutMs passed (tests, benchmarks); whether it is all done.
    bool waitForIdle(int timeoutMs = 30000);

    GameDetailsPanel *panel() const { return m_panel; }
    QLabel *sortLabel() const { return m_sortLabel; }
    QComboBox *sortChoice() const { return m_sortChoice; }
    GameListLoader &loader() const { return *m_loader; }

signals:
    // A system's game lists arrived (or changed): the layout, rows and pictures follow.
    void gamesChanged();
    // The user chose another order.
    void sortChanged();
    // names, of a listing ordersLater took, in the order chosen.
    void namesOrdered(marlit::RomNames names, bool refresh);

private:
    void onCollectionRead(std::shared_ptr<const marlit::GameCollection> collection);
    void onPlacesChecked(const std::vector<std::uint8_t> &present);
    // Asks the history for the shown system's plays when the order needs them and they are not
    // at hand; sortChanged follows their answer.
    bool askOwnPlays();

    struct Ordered
    {
        marlit::RomNames names;
        std::string folder;
        std::shared_ptr<const marlit::GameCollection> games; // whose titles ordered them
        bool refresh;
        quint64 generation;
        quint64 rowsReplaced; // the list's replacements when it was asked for: the rows it orders
    };

    RomListBox *m_romList;
    Say m_say;
    GameListLoader *m_loader;
    RomPresenceCheck *m_placesCheck;
    GameListFolders *m_folders;
    bool m_checkWhenAnswered = false;
    std::string m_romFolder;
    std::string m_home;
    marlit::GameListPlaces m_basePlaces;           // of the shown system, where they may be
    std::vector<std::string> m_romFolderMetafiles; // as its ROM folder was last listed
    marlit::GameListPlaces m_places;               // the two together, as checked
    GameDetailsPanel *m_panel;
    QLabel *m_sortLabel;
    QComboBox *m_sortChoice;
    std::shared_ptr<const marlit::GameCollection> m_games;
    std::array<std::vector<std::string>, kSlots> m_slotKinds;
    marlit::GameSort m_sort = marlit::GameSort::Name;
    PlayHistory &m_history;
    ShownSystem m_shownSystem;
    std::optional<marlit::OwnPlaysByPath> m_ownPlays; // of the shown system; none: not read yet
    QSet<QString> m_said;                             // problems told already, each once per run
    // The order's own thread, not Qt's global pool: the painter splits a big fill over that pool
    // and waits for its parts, which queued behind a long order and held up the window's paint.
    QThreadPool m_orderingThread;
    QFutureWatcher<Ordered> *m_ordering;
    quint64 m_orderGeneration = 0; // of the listing last given to ordersLater
    quint64 m_orderUnderWay = 0;   // the generation of the order under way on a worker; 0: none
};
