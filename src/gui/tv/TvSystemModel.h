#pragma once

#include <QAbstractListModel>

#include <string>
#include <vector>

// The systems of every category, one after another in the order of the tabs, for the TV view's
// one row of systems (a tab's blank record is left out). Each row knows its category and its row in that category's
// catalogue.
class TvSystemModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int CategoryTextRole = Qt::UserRole + 1;

    struct System
    {
        int category;
        int row;
        QString name;
    };

    explicit TvSystemModel(QObject *parent = nullptr);

    // Reads the four catalogue files of workFolder ("" or ending with the separator) again.
    void load(const std::string &workFolder);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const System *systemAt(int row) const;
    // The model's row of a category's system; -1 when it has none there.
    int rowOf(int category, int row) const;
    // The model's row of the first system of the category after (step 1) or before (-1) the
    // category of row, skipping categories without systems; row itself when there is no other.
    int firstOfNextCategory(int row, int step) const;

private:
    std::vector<System> m_systems;
};
