#include "gui/ui/RomListModel.h"

#include <QByteArray>
#include <QFile>

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
    if (role != Qt::DisplayRole)
        return {};
    const std::string &name = m_names[static_cast<std::size_t>(index.row())];
    return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

Qt::ItemFlags RomListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void RomListModel::setNames(std::vector<std::string> names)
{
    beginResetModel();
    m_names = std::move(names);
    endResetModel();
}

void RomListModel::clear()
{
    setNames({});
}

const std::string &RomListModel::nameAt(int row) const
{
    static const std::string none;
    if (row < 0 || static_cast<std::size_t>(row) >= m_names.size())
        return none;
    return m_names[static_cast<std::size_t>(row)];
}
