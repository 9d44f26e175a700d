#include "gui/ui/SystemListModel.h"

#include "core/catalogue/CategoryCatalogue.h"

#include <QString>

SystemListModel::SystemListModel(QObject *parent) : QAbstractListModel(parent)
{
}

int SystemListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

QVariant SystemListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.parent().isValid() || index.row() < 0 || index.row() >= m_rows)
        return {};
    const marlit::SystemEntry *entry = entryAt(index.row());
    if (!entry)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromLocal8Bit(entry->name);
    case EntryRole:
        return QVariant::fromValue(entry);
    default:
        return {};
    }
}

Qt::ItemFlags SystemListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void SystemListModel::setCatalogue(const marlit::CategoryCatalogue *catalogue)
{
    beginResetModel();
    m_catalogue = catalogue;
    m_rows = catalogue ? catalogue->size() : 0;
    endResetModel();
}

const marlit::SystemEntry *SystemListModel::entryAt(int row) const
{
    // The catalogue may have shrunk since it was set; its own bounds check answers then.
    if (!m_catalogue || row < 0 || row >= m_rows)
        return nullptr;
    return m_catalogue->entryAt(row);
}
