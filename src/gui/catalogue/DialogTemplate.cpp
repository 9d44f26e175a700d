#include "gui/catalogue/DialogTemplate.h"

#include <QDialog>
#include <QFontMetrics>

DialogTemplate::DialogTemplate(QDialog &dialog, int widthUnits, int heightUnits)
{
    QFont font = dialog.font();
    font.setPointSize(kFontPointSize);
    dialog.setFont(font);
    const QFontMetrics metrics(font, &dialog);
    m_units = marlit::DialogBaseUnits::fromFont(
        metrics.horizontalAdvance(QString::fromLatin1(marlit::DialogBaseUnits::kAverageWidthSample)), metrics.height());
    dialog.setFixedSize(m_units.toPixelsX(widthUnits), m_units.toPixelsY(heightUnits));
}

QRect DialogTemplate::toPixels(const marlit::LayoutRect &dialogRect) const
{
    const marlit::LayoutRect rect = m_units.toPixels(dialogRect);
    return QRect(rect.x, rect.y, rect.width, rect.height);
}

void DialogTemplate::place(QWidget *widget, const marlit::LayoutRect &dialogRect)
{
    widget->setGeometry(toPixels(dialogRect));
    if (!(widget->focusPolicy() & Qt::TabFocus))
        return;
    if (m_lastTabStop)
        QWidget::setTabOrder(m_lastTabStop, widget);
    m_lastTabStop = widget;
}
