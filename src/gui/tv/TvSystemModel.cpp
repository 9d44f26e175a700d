#include "gui/tv/TvSystemModel.h"

#include "core/catalogue/CatalogueFile.h"
#include "core/catalogue/CategoryCatalogue.h"
#include "core/catalogue/CategoryTable.h"
#include "core/catalogue/SystemEntry.h"
#include "gui/text/BoundedText.h"

TvSystemModel::TvSystemModel(QObject *parent) : QAbstractListModel(parent)
{
}

void TvSystemModel::load(const std::string &workFolder)
{
    std::vector<System> systems;
    for (int category = 0; category < marlit::CategoryTable::kCount; ++category) {
        const marlit::CategoryCatalogue catalogue =
            marlit::CatalogueFile::load(workFolder + marlit::CategoryTable::fileName(category));
        // A tab's blank record only stands for its empty list: it is no system to choose.
        for (int row = 0; row <= catalogue.lastIndex(); ++row)
            if (!catalogue.entryAt(row)->isBlank())
                systems.push_back({category, row, neutralised(boundedText(catalogue.entryAt(row)->name))});
    }
    beginResetModel();
    m_systems = std::move(systems);
    endResetModel();
}

int TvSystemModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_systems.size());
}

QVariant TvSystemModel::data(const QModelIndex &index, int role) const
{
    const System *system = systemAt(index.row());
    if (!system || !index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return system->name;
    if (role == CategoryTextRole)
        return QString::fromLatin1(marlit::CategoryTable::tabText(system->category));
    return {};
}

const TvSystemModel::System *TvSystemModel::systemAt(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < m_systems.size() ? &m_systems[static_cast<std::size_t>(row)]
                                                                        : nullptr;
}

int TvSystemModel::rowOf(int category, int row) const
{
    for (std::size_t i = 0; i < m_systems.size(); ++i)
        if (m_systems[i].category == category && m_systems[i].row == row)
            return static_cast<int>(i);
    return -1;
}

int TvSystemModel::firstOfNextCategory(int row, int step) const
{
    const System *from = systemAt(row);
    if (!from)
        return m_systems.empty() ? -1 : 0;
    const int count = marlit::CategoryTable::kCount;
    for (int i = 1; i < count; ++i) {
        const int category = ((from->category + step * i) % count + count) % count;
        for (std::size_t first = 0; first < m_systems.size(); ++first)
            if (m_systems[first].category == category)
                return static_cast<int>(first);
    }
    return row;
}
