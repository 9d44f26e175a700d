#pragma once

#include <QObject>

#include <optional>

// One press of Enter, one action, however long the key is held. X repeats a held key as a
// release and a press with the same time stamp, and the toolkit tells those apart from a real
// press only when both are already queued: on a busy or an idle moment it reports the repeat as
// a new press, and a held Enter started an emulator at every repeat. Installed on the
// application, this filter marks such a press as the repeat it is, and drops repeated presses of
// Enter altogether: buttons and lists act on each press they see.
class KeyRepeatFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Release
    {
        int key;
        quint64 timestamp;
    };
    std::optional<Release> m_lastRelease;
};
