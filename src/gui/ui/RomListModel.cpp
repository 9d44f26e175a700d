#include "gui/ui/RomListModel.h"

#include "core/browse/GameTitle.h"
#include "core/metadata/GameCollection.h"
#include "gui/text/BoundedText.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

RomListModel::RomListModel(QObject *parent) : QAbstractListModel(parent)
{
}

int RomListModel::rowCount(const QModelIndex &parent) const
{
    // A list has no children below its rows.
    return parent.isValid() ? 0 : static_cast<int>(m_names.size());
}

QVariant RomListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.parent().isValid() || index.row() < 0 ||
        static_cast<std::size_t>(index.row()) >= m_names.size())
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (role == FavouriteRole)
        return isFavourite(index.row());
    if (role == PlayLineRole) {
        const auto line = m_playLines.find(pathAt(index.row()));
        return line == m_playLines.end() ? QString() : QString::fromUtf8(line->second);
    }
    const marlit::GameDescription *game =
        m_games && (role == Qt::DisplayRole || role == DetailRole || role == TitleRole || role == TagsRole)
            ? m_games->describe(pathAt(index.row()))
            : nullptr;
    const bool described = game && !game->title.empty();
    const std::string_view name = m_names[row];
    const auto decoded = [](std::string_view text) {
        return neutralised(QFile::decodeName(QByteArray(text.data(), static_cast<qsizetype>(text.size()))));
    };
    if (role == DetailRole) {
        if (row < m_details.size())
            return QString::fromUtf8(m_details[row]);
        // "All Games" names a ROM by its path below the listed folder: the sub-folder shows dimmed,
        // then the other front-end's own marks, beside Marlit's star and plays.
        QStringList marks;
        if (const std::size_t slash = name.rfind('/'); slash != std::string_view::npos)
            marks << decoded(name.substr(0, slash));
        if (game && game->favourite)
            marks << QString(QChar(0x2605));
        if (game && game->playCount > 0)
            marks << (game->playCount == 1 ? tr("1 play") : tr("%1 plays").arg(game->playCount));
        return marks.join(QLatin1Char(' '));
    }
    if (role == MissingRole)
        return row < m_present.size() && m_present[row] == 0;
    // A title a game list gives wins over the one cleaned from the file name.
    if ((role == Qt::DisplayRole || role == TitleRole) && described)
        return QString::fromUtf8(game->title.data(), static_cast<qsizetype>(game->title.size()));
    if (role == TitleRole)
        return decoded(marlit::GameTitle::of(name).title);
    if (role == TagsRole)
        return described ? QString() : decoded(marlit::GameTitle::of(name).tags);
    if (role != Qt::DisplayRole && role != FileNameRole)
        return {};
    return decoded(name);
}

Qt::ItemFlags RomListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void RomListModel::setNames(marlit::RomNames names)
{
    beginResetModel();
    ++m_replacements;
    m_names = std::move(names);
    m_rowFolders.clear();
    m_details.clear();
    m_present.clear();
    endResetModel();
}

void RomListModel::setRows(std::vector<marlit::HistoryView::Row> rows)
{
    beginResetModel();
    ++m_replacements;
    m_names = {};
    m_rowFolders.clear();
    m_details.clear();
    m_present.clear();
    for (marlit::HistoryView::Row &row : rows) {
        m_names.push_back(row.name);
        m_rowFolders.push_back(std::move(row.folder));
        m_details.push_back(std::move(row.detail));
    }
    endResetModel();
}

void RomListModel::setPresence(std::vector<std::uint8_t> present)
{
    m_present = std::move(present);
    if (!m_names.empty())
        emit dataChanged(index(0), index(rowCount() - 1), {MissingRole});
}

void RomListModel::setGames(std::shared_ptr<const marlit::GameCollection> games)
{
    if (games == m_games)
        return;
    m_games = std::move(games);
    if (!m_names.empty())
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::DisplayRole, DetailRole});
}

void RomListModel::clear()
{
    setNames({});
}

std::string RomListModel::nameAt(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_names.size())
        return {};
    return std::string(m_names[static_cast<std::size_t>(row)]);
}

std::string RomListModel::pathAt(int row) const
{
    if (!inside(row))
        return {};
    return folderAt(row) + std::string(m_names[static_cast<std::size_t>(row)]);
}

const std::string &RomListModel::folderAt(int row) const
{
    if (inside(row) && !m_rowFolders.empty())
        return m_rowFolders[static_cast<std::size_t>(row)];
    return m_folder;
}

void RomListModel::setFavourites(std::unordered_set<std::string> paths)
{
    m_favourites = std::move(paths);
    if (!m_names.empty())
        emit dataChanged(index(0), index(rowCount() - 1), {FavouriteRole});
}

bool RomListModel::isFavourite(int row) const
{
    // Asked only for the rows drawn: one look-up each.
    return !m_favourites.empty() && m_favourites.contains(pathAt(row));
}

void RomListModel::setFavouriteAt(int row, bool favourite)
{
    const std::string path = pathAt(row);
    if (path.empty())
        return;
    if (favourite)
        m_favourites.insert(path);
    else
        m_favourites.erase(path);
    emit dataChanged(index(row), index(row), {FavouriteRole});
}

void RomListModel::setPlayLine(const std::string &path, std::string line)
{
    m_playLines[path] = std::move(line);
}

bool RomListModel::knowsPlayLine(int row) const
{
    return m_playLines.contains(pathAt(row));
}
