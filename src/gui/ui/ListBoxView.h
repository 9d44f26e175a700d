#pragma once

#include <QListView>

#include <functional>

// A single-selection list that behaves like a list box: the selected row is the current one,
// the user can move the selection but never clear it, and changes the program makes itself
// (refills, programmatic selection) are not reported as the user's.
class ListBoxView : public QListView
{
    Q_OBJECT

public:
    explicit ListBoxView(QWidget *parent = nullptr);

    int currentRow() const; // the selected row, -1 when none
    // Selects a row and scrolls to it without reporting a change; a row outside the list clears.
    void setCurrentRow(int row);
    // The rows are measured again before the next paint: a long list's layout then runs once,
    // however many changes of its delegate's sizes come before it.
    void relayoutLater() { scheduleDelayedItemsLayout(); }

    void setSelectionModel(QItemSelectionModel *selectionModel) override;

signals:
    // The selection changed by the user (mouse or keyboard), not by the program.
    void selectionChangedByUser();
    // A row (not the space beside the rows) double-clicked with the left button.
    void rowDoubleClicked();
    // A left click on the row that was selected already, which changes no selection.
    void selectedRowClickedAgain();

protected:
    // Runs a change of the program's own, such as a refill, without reporting it.
    void changeQuietly(const std::function<void()> &change);

    void focusInEvent(QFocusEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override;

private:
    void onSelectionChanged();

    bool m_selectingQuietly = false; // set while the program itself changes the selection
    int m_selectedAtPress = -1;
};
