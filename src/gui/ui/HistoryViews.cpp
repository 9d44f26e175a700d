#include "gui/ui/HistoryViews.h"

#include "gui/browse/RomPresenceCheck.h"
#include "gui/history/PlayHistory.h"
#include "gui/launch/EmulatorStarter.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"

#include <QTimer>

#include <chrono>

using marlit::HistoryView;

namespace {

std::int64_t wallClockMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

HistoryViews::HistoryViews(PlayHistory &history, RomListBox *romList, EmulatorStarter &starter,
                           FolderReaderPool &readers, QObject *parent)
    : QObject(parent), m_history(history), m_romList(romList), m_presence(new RomPresenceCheck(readers, this)),
      m_readAgain(new QTimer(this))
{
    // A history that could not be read (another program holds it locked) is asked again until
    // it can be, so the view mends itself once the lock goes.
    m_readAgain->setSingleShot(true);
    m_readAgain->setInterval(kReadAgain);
    connect(m_readAgain, &QTimer::timeout, this, &HistoryViews::refresh);
    connect(m_presence, &RomPresenceCheck::checked, this, [this](const std::vector<std::uint8_t> &present) {
        if (m_view)
            m_romList->romModel()->setPresence(present);
    });
    // Connected after the window's recording of plays and forgetting, so the history's thread
    // has them queued before this question.
    connect(&starter, &EmulatorStarter::playStarted, this, &HistoryViews::refresh);
    connect(&starter, &EmulatorStarter::playEnded, this, &HistoryViews::refresh);
    connect(romList, &RomListBox::forgetHistoryRequested, this, &HistoryViews::refresh);
}

void HistoryViews::show(HistoryView::Kind view, const marlit::SystemKey &system, const marlit::RomSearch &search)
{
    m_view = view;
    m_system = system;
    m_search = search;
    m_presence->stop();
    ask({});
}

void HistoryViews::stop()
{
    if (!m_view)
        return;
    m_view.reset();
    m_readAgain->stop();
    m_history.cancel(PlayHistory::Question::View);
    m_presence->stop();
    sayEmpty({});
}

void HistoryViews::sayEmpty(const QString &text)
{
    // Only what this said is taken back: the folder reader says its own things there.
    if (text.isEmpty() && !m_saidEmpty)
        return;
    m_saidEmpty = !text.isEmpty();
    m_romList->setPlaceholder(text);
}

void HistoryViews::refresh()
{
    if (!m_view)
        return;
    const int row = m_romList->currentRow();
    ask(row >= 0 ? m_romList->romModel()->pathAt(row) : std::string());
}

void HistoryViews::ask(const std::string &keptPath)
{
    const HistoryView::Kind view = *m_view;
    m_readAgain->stop();
    auto answer = [this, view, keptPath](PlayHistory::ViewAnswer &&answer) {
        std::vector<marlit::RomHistory> &history = answer.rows;
        // An empty view says how it fills; one that the search empties says nothing, as a folder.
        // A history that could not be read says so, never that nothing was played.
        if (!answer.unreadable.empty()) {
            sayEmpty(tr("The play history cannot be read: %1.").arg(QString::fromLocal8Bit(answer.unreadable)));
            m_readAgain->start();
        } else {
            sayEmpty(!history.empty() ? QString()
                     : view == HistoryView::Kind::Favourites
                         ? tr("No favourites yet: Ctrl+D marks the selected ROM as one.")
                         : tr("Nothing of this system has been played yet."));
        }
        std::vector<HistoryView::Row> rows = HistoryView::rows(view, history, m_search, wallClockMs());
        std::vector<std::string> paths;
        paths.reserve(rows.size());
        for (const HistoryView::Row &row : rows)
            paths.push_back(row.folder + row.name);
        m_romList->setRows(std::move(rows), keptPath);
        m_presence->check(std::move(paths));
    };
    if (view == HistoryView::Kind::Favourites)
        m_history.requestFavourites(m_system, std::move(answer));
    else
        m_history.requestRecentlyPlayed(m_system, std::move(answer));
}
