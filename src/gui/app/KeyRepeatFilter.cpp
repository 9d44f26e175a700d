#include "gui/app/KeyRepeatFilter.h"

#include <QCoreApplication>
#include <QKeyEvent>

bool KeyRepeatFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyRelease) {
        const auto *key = static_cast<const QKeyEvent *>(event);
        m_lastRelease = Release{key->key(), key->timestamp()};
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;

    auto *key = static_cast<QKeyEvent *>(event);
    // No hand releases and presses a key within the same millisecond; the key's own repeat does.
    const bool repeatSeenAsPress = !key->isAutoRepeat() && key->timestamp() != 0 && m_lastRelease &&
                                   m_lastRelease->key == key->key() && m_lastRelease->timestamp == key->timestamp();
    if (!key->isAutoRepeat() && !repeatSeenAsPress)
        return false;

    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        key->accept();
        return true;
    }
    if (repeatSeenAsPress) {
        // Sent again as a repeat: held arrows still move, a held Space presses a button once.
        QKeyEvent repeat(QEvent::KeyPress, key->key(), key->modifiers(), key->nativeScanCode(), key->nativeVirtualKey(),
                         key->nativeModifiers(), key->text(), true, key->count(), key->device());
        repeat.setTimestamp(key->timestamp());
        QCoreApplication::sendEvent(watched, &repeat);
        // The repeat has gone its own way through the widgets; the press goes no further.
        key->accept();
        return true;
    }
    return false;
}
