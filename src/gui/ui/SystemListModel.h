#pragma once

#include <QAbstractListModel>

namespace marlit {
class CategoryCatalogue;
struct SystemEntry;
} // namespace marlit

// The systems of the active category, one row per catalogue entry, in catalogue order. The
// model reads the catalogue it is given and copies nothing; setCatalogue must be called again
// after every change to the catalogue.
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

    void setCatalogue(const marlit::CategoryCatalogue *catalogue);
    const marlit::CategoryCatalogue *catalogue() const { return m_catalogue; }

    // The entry of a row, or nullptr outside the list.
    const marlit::SystemEntry *entryAt(int row) const;

private:
    const marlit::CategoryCatalogue *m_catalogue = nullptr;
    int m_rows = 0; // the catalogue's size when it was set, so the rows change only by a reset
};
