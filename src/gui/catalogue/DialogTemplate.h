#pragma once

#include "core/ui/DialogUnits.h"

#include <QRect>

class QDialog;
class QWidget;

// Lays a dialog out from its template, as the System Configuration and options dialogs are: the
// template's font (8 points of the face the window's controls use), its client size and every
// control's rectangle given in dialog units, and the Tab key's order following the template's.
class DialogTemplate
{
public:
    static constexpr int kFontPointSize = 8;

    // Gives dialog the template's font and its client size of widthUnits x heightUnits.
    DialogTemplate(QDialog &dialog, int widthUnits, int heightUnits);

    const marlit::DialogBaseUnits &units() const { return m_units; }
    QRect toPixels(const marlit::LayoutRect &dialogRect) const;

    // Puts widget at its rectangle. Controls are placed in template order; those that take the
    // Tab key follow each other in that order.
    void place(QWidget *widget, const marlit::LayoutRect &dialogRect);

private:
    marlit::DialogBaseUnits m_units;
    QWidget *m_lastTabStop = nullptr;
};
