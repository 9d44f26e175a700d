#pragma once

#include "core/ui/TvLayout.h"

#include <QWidget>

#include <optional>
#include <vector>

class TvText;

// The TV view's menu, in large type over the view: a column of entries chosen with Up, Down
// and Enter; Escape, Backspace or the Menu key close it without a choice.
class TvMenu : public QWidget
{
    Q_OBJECT

public:
    struct Entry
    {
        QString text;
        int id;
    };

    // text draws the large type; it outlives the menu.
    explicit TvMenu(TvText &text, QWidget *parent = nullptr);

    void setGeometryUnits(const marlit::TvGeometry &geometry);
    // Opens over the parent with entries, the first one current, and takes the focus.
    void open(std::vector<Entry> entries);
    const std::vector<Entry> &entries() const { return m_entries; }
    int currentEntry() const { return m_current; }

signals:
    void chosen(int id);
    void closed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void finish(std::optional<int> id);
    QRect entryRect(int entry) const;

    std::vector<Entry> m_entries;
    int m_current = 0;
    marlit::TvGeometry m_geometry;
    TvText &m_text;
};
