#pragma once

#include <QFrame>
#include <QString>

namespace marlit {
struct GameDescription;
}
class QLabel;
class QPlainTextEdit;

// Beside the ROM list: what a game list says of the selected ROM. Its title, a line of facts
// (year, developer, publisher, genre, players, rating), the other front-end's favourite mark and
// play count, and the description, which scrolls. Every text is shown as plain text, whatever
// markup the file holds.
class GameDetailsPanel : public QFrame
{
    Q_OBJECT

public:
    explicit GameDetailsPanel(QWidget *parent = nullptr);

    // The ROM's description, or none: then its file name and "No description".
    void showGame(const marlit::GameDescription *game, const QString &fileName);
    void clear();

    QString title() const;
    QString facts() const;
    QString description() const;

    // "★★★★☆" for 80 percent: whole stars, rounded.
    static QString ratingStars(int percent);

private:
    QLabel *m_title;
    QLabel *m_facts;
    QPlainTextEdit *m_description;
};
