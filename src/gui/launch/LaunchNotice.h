#pragma once

#include <QFrame>
#include <QString>
#include <QTimer>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// A short notice over the bottom of another widget that says why an emulator did not start or
// ended at once, with the last lines it wrote, the command line and a button that copies it. It
// takes no keyboard focus and blocks nothing: it goes by itself after a few seconds (not while
// the pointer rests on it), on Escape, or when hidden by its owner.
class LaunchNotice : public QFrame
{
    Q_OBJECT

public:
    static constexpr int kShownMilliseconds = 8000;
    // The emulator's lines take at most this many rows; the last ones show, the rest scroll.
    static constexpr int kOutputRows = 6;
    // A command line is laid out from at most this many characters at either end: measuring
    // megabytes would hold the window for seconds, and no screen shows more.
    static constexpr qsizetype kShownCommandEnd = 1000;

    // Lies over the bottom of host and follows its size; hidden until told something.
    explicit LaunchNotice(QWidget *host);

    // Lies over host from now on, in font (the default font when not given): the window's
    // notice goes with the user to a full-screen view that hides the window. A notice being
    // shown moves along.
    void moveToHost(QWidget *host, const QFont &font = {});

    // An empty output leaves its part out; without a command line (nothing was started) there
    // is no line to show or copy.
    void showFailure(const QString &message, const QString &commandLine = {}, const QString &emulatorOutput = {});

    // The full texts; the command line may be shown shortened to fit.
    QString message() const { return m_message; }
    QString commandLine() const { return m_commandLine; }
    QString emulatorOutput() const { return m_emulatorOutput; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeOverHost();
    void fitCommandLine();
    void copyCommandLine();

    QWidget *m_host;
    QLabel *m_messageLabel;
    QPlainTextEdit *m_outputView;
    QLabel *m_commandLabel;
    QPushButton *m_copyButton;
    QTimer m_hideTimer;
    QString m_message;
    QString m_commandLine;
    QString m_shownCommandLine; // m_commandLine, or its two ends when it is too long to lay out
    QString m_emulatorOutput;
};
