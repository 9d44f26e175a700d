#pragma once

#include "core/history/RomHistory.h"

#include <QObject>

#include <optional>
#include <string>

class EmulatorStarter;
class PlayHistory;
class RomListBox;

// Ties the ROM list to the play history: the stars of the shown system's favourites (read once
// per system), Ctrl+D and the list's menu to mark a favourite or forget a ROM's plays, the
// launches of the list's ROMs recorded as the starter reports them, a row's plays in its tooltip,
// and what the history has to say shown in the starter's notice over the list.
class HistoryPresenter : public QObject
{
    Q_OBJECT

public:
    HistoryPresenter(PlayHistory &history, RomListBox *romList, EmulatorStarter &starter, QObject *parent = nullptr);

    // The system now shown, nothing for none: its favourites are read for the stars.
    void showSystem(std::optional<marlit::SystemKey> system);
    // The folder whose files the list now holds ("" or ending with the separator).
    void showFolder(const std::string &folder);
    // launchId started the ROM of the list's row.
    void launched(quint64 launchId, int row);

    const std::optional<marlit::SystemKey> &system() const { return m_system; }

public slots:
    void toggleFavourite();
    void forgetHistory();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    PlayHistory &m_history;
    RomListBox *m_romList;
    std::optional<marlit::SystemKey> m_system;
};
