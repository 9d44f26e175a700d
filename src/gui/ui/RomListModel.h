#pragma once

#include "core/browse/RomNames.h"

#include <QAbstractListModel>

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
class RomListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int FavouriteRole = Qt::UserRole + 1;
    static constexpr int PlayLineRole = Qt::UserRole + 2;

    explicit RomListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Replaces every name in one model reset; the names are kept in the order given.
    void setNames(marlit::RomNames names);
    void clear();

    const marlit::RomNames &names() const { return m_names; }
    // The name of a row, or an empty name outside the list.
    std::string nameAt(int row) const;

    // The absolute folder of the rows (ending with the separator); a row's path is it and its name.
    void setFolder(std::string folder) { m_folder = std::move(folder); }
    std::string pathAt(int row) const;

    // The paths of the favourites: their rows show a star. Kept across refills.
    void setFavourites(std::unordered_set<std::string> paths);
    bool isFavourite(int row) const;
    void setFavouriteAt(int row, bool favourite);

    // The history's line of the ROM at path ("" for one never played). Kept across refills.
    void setPlayLine(const std::string &path, std::string line);
    bool knowsPlayLine(int row) const;
    void forgetPlayLines() { m_playLines.clear(); }

private:
    marlit::RomNames m_names;
    std::string m_folder;
    std::unordered_set<std::string> m_favourites;
    std::unordered_map<std::string, std::string> m_playLines;
};
