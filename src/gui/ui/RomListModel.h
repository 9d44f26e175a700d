#pragma once

#include <QAbstractListModel>

#include <string>
#include <vector>

// The ROM file names of the list, held as the bytes the file system gave. A name becomes a
// QString only when a row is drawn, so a refill of many thousand names costs one move.
class RomListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit RomListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Replaces every name in one model reset; the names are kept in the order given.
    void setNames(std::vector<std::string> names);
    void clear();

    const std::vector<std::string> &names() const { return m_names; }
    // The name of a row, or an empty name outside the list.
    const std::string &nameAt(int row) const;

private:
    std::vector<std::string> m_names;
};
