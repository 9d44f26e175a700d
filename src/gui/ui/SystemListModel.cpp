#include "gui/ui/SystemListModel.h"

#include "gui/text/BoundedText.h"

#include <QString>

SystemListModel::SystemListModel(QObject *parent) : QAbstractListModel(parent)
{
}

int SystemListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_catalogue.size();
}

QVariant SystemListModel::data(const QModelIndex &index, int role) const
{
    const marlit::SystemEntry *entry = index.isValid() && !index.parent().isValid() ? entryAt(index.row()) : nullptr;
    if (!entry)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return neutralised(boundedText(entry->name));
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

void SystemListModel::setCatalogue(const marlit::CategoryCatalogue &catalogue)
{
    beginResetModel();
    m_catalogue = catalogue;
    endResetModel();
}

const marlit::SystemEntry *SystemListModel::entryAt(int row) const
{
    return m_catalogue.entryAt(row);
}
