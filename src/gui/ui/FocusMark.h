#pragma once

#include <QColor>
#include <QPalette>
#include <QRect>

class QPainter;

// Where the keyboard acts: a solid frame two pixels wide, in the highlight colour, or in the
// window text's colour (dark) on a highlighted background, so that it stays plain on a selected
// row between light ones too. The styles' own focus frames are faint dotted lines, lost on a
// coloured row.
class FocusMark
{
public:
    static void paint(QPainter *painter, const QRect &rect, const QColor &background, const QPalette &palette);
};
