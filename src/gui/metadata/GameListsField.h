#pragma once

#include "core/metadata/GameListChoice.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QMenu;
class QPushButton;

// The "Game Lists:" line of System Configuration: what was found for the system (or what the user
// chose instead) and a button whose menu chooses another game list file or media folder, the
// kind of picture each snapshot slot takes, or goes back to what is found.
class GameListsField : public QWidget
{
    Q_OBJECT

public:
    explicit GameListsField(QWidget *parent = nullptr);

    void setChoice(const marlit::GameListChoice &choice);
    const marlit::GameListChoice &choice() const { return m_choice; }
    // What the window found for the system, for the user ("" : nothing found).
    void setFound(const QString &found);
    QString shownText() const;
    QMenu *menu() const { return m_menu; }

    // Asks for a file (folder false) or a folder; none when the user cancels. Replaceable for
    // tests.
    using Picker = std::function<std::optional<std::string>(QWidget *parent, bool folder)>;
    void setPicker(Picker picker) { m_picker = std::move(picker); }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void refresh();
    void rebuildMenu();
    void pick(bool folder);

    QLabel *m_summary;
    QPushButton *m_button;
    QMenu *m_menu;
    QString m_found;
    marlit::GameListChoice m_choice;
    Picker m_picker;
};
