#pragma once

// Widget tests answer the program's own modal dialogs: the answer is queued before the action
// that opens a dialog, and runs inside that dialog's modal loop, with the dialog at hand.

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace marlit::test {

// Runs answer(dialog) once the next modal dialog runs its loop. The answer closes the dialog;
// one that fails half-way leaves it open, and it is cancelled then, so a failing test ends
// instead of waiting forever. When no modal dialog opens at all, answer gets nullptr at the
// next turn of the event loop.
inline void answerNextModal(std::function<void(QWidget *)> answer)
{
    QTimer::singleShot(0, qApp, [answer = std::move(answer)] {
        QWidget *modal = QApplication::activeModalWidget();
        answer(modal);
        if (auto *dialog = qobject_cast<QDialog *>(modal); dialog && dialog->isVisible())
            dialog->reject();
    });
}

} // namespace marlit::test
