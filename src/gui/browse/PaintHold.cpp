#include "gui/browse/PaintHold.h"

#include <QWidget>

PaintHold::PaintHold(QWidget *widget) : QObject(widget), m_widget(widget)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PaintHold::release);
}

void PaintHold::hold()
{
    if (!m_widget)
        return;
    if (!m_holding)
        m_widget->setUpdatesEnabled(false);
    m_holding = true;
    m_timer.start(kMaxHoldMs);
}

void PaintHold::release()
{
    m_timer.stop();
    if (!m_holding || !m_widget)
        return;
    m_holding = false;
    m_widget->setUpdatesEnabled(true); // repaints what changed meanwhile
}
