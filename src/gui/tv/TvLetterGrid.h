#pragma once

#include "core/ui/TvLayout.h"
#include "core/ui/TvLetterPad.h"

#include <QWidget>

class TvText;

// The TV view's search, typed with the arrows and Enter on on-screen letters (no keyboard
// needed): the text so far above the keys. Each change of the text is told, for the list to
// narrow as the user types; "Done", Escape or Backspace close it.
class TvLetterGrid : public QWidget
{
    Q_OBJECT

public:
    // text draws the large type; it outlives the grid.
    explicit TvLetterGrid(TvText &text, QWidget *parent = nullptr);

    void setGeometryUnits(const marlit::TvGeometry &geometry);
    // Opens over the parent with text, the cursor on the first key, and takes the focus.
    void open(const QString &text);
    QString text() const;
    const marlit::TvLetterPad &pad() const { return m_pad; }

signals:
    void textChanged(const QString &text);
    void closed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QRect keyRect(int row, const marlit::TvLetterPad::Key &key) const;
    QRect panelRect() const;

    marlit::TvLetterPad m_pad;
    marlit::TvGeometry m_geometry;
    TvText &m_text;
};
