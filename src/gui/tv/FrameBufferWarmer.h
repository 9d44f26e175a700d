#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>

class QWidget;

// Makes a hidden top-level widget's window and its frame buffer ahead of the widget's first
// showing, a slice at a time on turns of the event loop.
//
// The first frame of a new window is otherwise its most expensive: the system hands the process
// the frame buffer's memory page by page as the first paint touches it (33 MB at 3840 x 2160,
// about a tenth of a second on some machines), in one turn in which the program answers nothing.
// Touched here in slices of kSliceBytes, the showing later paints into memory already there.
// The memory is held from then on, as a shown window holds it.
class FrameBufferWarmer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kSliceBytes = 512 * 1024;

    // widget must be a window; colour fills the frame buffer (it is painted over at the showing).
    FrameBufferWarmer(QWidget *widget, QColor colour, QObject *parent = nullptr);

    // Starts; done() follows after the last slice (at once where the window system's frame
    // buffers are not plain memory, or the widget went or was shown meanwhile).
    void start();

signals:
    void done();

private:
    void step();
    void finish();

    QPointer<QWidget> m_widget;
    QColor m_colour;
    int m_row = -1; // the next row to touch; -1 before the frame buffer is sized
    bool m_done = false;
};
