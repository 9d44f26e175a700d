#pragma once

#include "core/catalogue/CategoryCatalogue.h"

#include <QAbstractListModel>

// The systems of the active category, one row per catalogue entry, in catalogue order. The
// model keeps its own copy of the catalogue (a few dozen records), so nothing the window does
// to its catalogue can leave the list pointing at freed entries; setCatalogue shows a change.
class SystemListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    // Gives the row's entry as a const marlit::SystemEntry *.
    static constexpr int EntryRole = Qt::UserRole + 1;

    explicit SystemListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void setCatalogue(const marlit::CategoryCatalogue &catalogue);

    // The entry of a row, or nullptr outside the list.
    const marlit::SystemEntry *entryAt(int row) const;

private:
    marlit::CategoryCatalogue m_catalogue;
};
