#include "gui/tv/FrameBufferWarmer.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <algorithm>

FrameBufferWarmer::FrameBufferWarmer(QWidget *widget, QColor colour, QObject *parent)
    : QObject(parent), m_widget(widget), m_colour(colour)
{
}

void FrameBufferWarmer::start()
{
    if (m_done || m_row >= 0)
        return;
    // The platforms whose frame buffer is a plain image in the process's memory; elsewhere a
    // paint outside a showing may wait for the compositor.
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb") && platform != QLatin1String("offscreen")) {
        finish();
        return;
    }
    QTimer::singleShot(0, this, &FrameBufferWarmer::step);
}

void FrameBufferWarmer::step()
{
    if (!m_widget || m_widget->isVisible() || !m_widget->isWindow()) {
        finish();
        return;
    }
    if (m_row < 0) {
        // The window and its frame buffer, not shown: the toolkit keeps a frame buffer of the
        // window's size at its showing.
        m_widget->winId();
        QBackingStore *store = m_widget->backingStore();
        if (!store || m_widget->size().isEmpty()) {
            finish();
            return;
        }
        store->resize(m_widget->size());
        m_row = 0;
    } else {
        QBackingStore *store = m_widget->backingStore();
        const QSize size = store ? store->size() : QSize();
        if (size != m_widget->size()) {
            finish(); // resized meanwhile: the showing sizes it anew
            return;
        }
        const qreal ratio = m_widget->devicePixelRatioF();
        const int rowBytes = std::max(1, static_cast<int>(size.width() * ratio * ratio) * 4);
        const int rows = std::max(1, kSliceBytes / rowBytes);
        const QRect slice(0, m_row, size.width(), std::min(rows, size.height() - m_row));
        store->beginPaint(slice);
        {
            QPainter painter(store->paintDevice());
            painter.fillRect(slice, m_colour);
        }
        store->endPaint();
        m_row = slice.bottom() + 1;
        if (m_row >= size.height()) {
            finish();
            return;
        }
    }
    QTimer::singleShot(0, this, &FrameBufferWarmer::step);
}

void FrameBufferWarmer::finish()
{
    if (m_done)
        return;
    m_done = true;
    emit done();
}
