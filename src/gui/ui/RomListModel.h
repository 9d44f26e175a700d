#pragma once

#include "core/browse/RomNames.h"
#include "core/history/HistoryView.h"

#include <QAbstractListModel>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

// The ROM file names of the list, held as the bytes the file system gave, in one block
// (RomNames). A name becomes a QString only when a row is drawn, so a refill of many thousand
// names costs one move.
//
// The rows' folder makes their paths, the ROMs' keys in the play history: a row whose path is
// among the favourites given says so through FavouriteRole, and what the history says of its
// plays, once told, through PlayLineRole.
//
// The play history's views gather rows from several folders: each such row carries its own
// folder, a line that says how much it was played, drawn in the row (DetailRole), and whether
// its file is gone (MissingRole). A row shows the game's title with its tags dimmed after it
// (TitleRole, TagsRole); the file name (FileNameRole) is its tooltip and what Copy gives.
namespace marlit {
struct GameCollection;
}

// Rows that another front-end's game list describes show its title (DisplayRole, TitleRole) in
// place of the one cleaned from the file name, and its favourite mark and play count as their line.
class RomListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int FavouriteRole = Qt::UserRole + 1;
    static constexpr int PlayLineRole = Qt::UserRole + 2;
    static constexpr int DetailRole = Qt::UserRole + 3;
    static constexpr int MissingRole = Qt::UserRole + 4;
    static constexpr int FileNameRole = Qt::UserRole + 5;
    // The game's title and its naming tags ("(USA) [!]"), what the row shows of the file name.
    static constexpr int TitleRole = Qt::UserRole + 6;
    static constexpr int TagsRole = Qt::UserRole + 7;

    explicit RomListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Replaces every name in one model reset; the names are kept in the order given.
    void setNames(marlit::RomNames names);
    // Replaces every row with rows of their own folders (absolute), in the order given.
    void setRows(std::vector<marlit::HistoryView::Row> rows);
    void clear();
    // Which rows' files are there (1) or gone (0), by row; rows beyond it are taken as there.
    void setPresence(std::vector<std::uint8_t> present);

    const marlit::RomNames &names() const { return m_names; }
    // How many times the rows were replaced: what was worked out for the rows as they were can
    // tell that they have changed since (another folder, system or view).
    quint64 replacements() const { return m_replacements; }
    // The name of a row, or an empty name outside the list.
    std::string nameAt(int row) const;

    // The absolute folder of the rows (ending with the separator); a row's path is it and its name.
    void setFolder(std::string folder) { m_folder = std::move(folder); }
    std::string pathAt(int row) const;
    const std::string &folderAt(int row) const;
    bool hasRowFolders() const { return !m_rowFolders.empty(); }

    // The paths of the favourites: their rows show a star. Kept across refills.
    void setFavourites(std::unordered_set<std::string> paths);
    bool isFavourite(int row) const;
    void setFavouriteAt(int row, bool favourite);

    // The history's line of the ROM at path ("" for one never played). Kept across refills.
    void setPlayLine(const std::string &path, std::string line);
    bool knowsPlayLine(int row) const;
    void forgetPlayLines() { m_playLines.clear(); }

    // What the system's game lists say of its ROMs (none: nothing). Kept across refills.
    void setGames(std::shared_ptr<const marlit::GameCollection> games);
    const marlit::GameCollection *games() const { return m_games.get(); }

private:
    bool inside(int row) const { return row >= 0 && static_cast<std::size_t>(row) < m_names.size(); }

    marlit::RomNames m_names;
    std::string m_folder;
    std::vector<std::string> m_rowFolders; // empty, or one per row
    std::vector<std::string> m_details;    // empty, or one per row
    std::vector<std::uint8_t> m_present;   // empty, or one per row
    std::unordered_set<std::string> m_favourites;
    std::unordered_map<std::string, std::string> m_playLines;
    std::shared_ptr<const marlit::GameCollection> m_games;
    quint64 m_replacements = 0;
};
