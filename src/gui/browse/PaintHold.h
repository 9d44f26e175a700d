#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

// Holds back a widget's repaints for a frame or two after it was emptied for a refill, so that a
// refill that comes that fast (a folder on a local disk) replaces the old content without an
// empty frame in between; a slower one shows the emptied widget once the hold runs out.
class PaintHold : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxHoldMs = 40;

    explicit PaintHold(QWidget *widget);

    void hold();
    // Paints again now (and whatever was held back).
    void release();
    bool holding() const { return m_holding; }

private:
    QPointer<QWidget> m_widget;
    QTimer m_timer;
    bool m_holding = false;
};
