#include "gui/ui/HistoryPresenter.h"

#include "core/fs/WorkingDirectory.h"
#include "gui/history/PlayHistory.h"
#include "gui/launch/EmulatorStarter.h"
#include "gui/launch/LaunchNotice.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"

#include "core/history/PlayText.h"

#include <QCoreApplication>
#include <QHelpEvent>

namespace {

std::int64_t wallClockMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

HistoryPresenter::HistoryPresenter(PlayHistory &history, RomListBox *romList, EmulatorStarter &starter, QObject *parent)
    : QObject(parent), m_history(history), m_romList(romList)
{
    connect(romList, &RomListBox::favouriteToggleRequested, this, &HistoryPresenter::toggleFavourite);
    connect(romList, &RomListBox::forgetHistoryRequested, this, &HistoryPresenter::forgetHistory);
    // A play changes what the rows' tooltips say: they ask again.
    RomListModel *model = romList->romModel();
    connect(&starter, &EmulatorStarter::playStarted, &history, [&history, model](quint64 launchId) {
        history.playStarted(launchId);
        model->forgetPlayLines();
    });
    connect(&starter, &EmulatorStarter::playEnded, &history,
            [&history, model](quint64 launchId, std::chrono::milliseconds played) {
                history.playEnded(launchId, played);
                model->forgetPlayLines();
            });
    LaunchNotice *notice = starter.notice();
    connect(&history, &PlayHistory::notice, notice, [notice](const QString &text) { notice->showFailure(text, {}); });
    romList->viewport()->installEventFilter(this);
}

bool HistoryPresenter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip || watched != m_romList->viewport())
        return QObject::eventFilter(watched, event);
    // A row's tooltip also says how much it was played. The history is asked the first time; its
    // answer, if still the newest question, is kept with the row and the tooltip asked for again.
    const auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex index = m_romList->indexAt(help->pos());
    RomListModel *model = m_romList->romModel();
    if (!index.isValid() || !m_system || model->knowsPlayLine(index.row())) {
        m_history.cancel(PlayHistory::Question::Summary);
        return QObject::eventFilter(watched, event);
    }
    QWidget *viewport = m_romList->viewport();
    const std::string path = model->pathAt(index.row());
    m_history.requestSummary(path, [model, viewport, path, pos = help->pos(),
                                    globalPos = help->globalPos()](std::optional<marlit::RomHistory> &&found) {
        std::string line = found ? marlit::PlayText::summary(*found, wallClockMs()) : std::string();
        const bool played = !line.empty();
        model->setPlayLine(path, std::move(line));
        if (played) {
            QHelpEvent again(QEvent::ToolTip, pos, globalPos);
            QCoreApplication::sendEvent(viewport, &again);
        }
    });
    // Meanwhile the row's tooltip shows what it knows.
    return QObject::eventFilter(watched, event);
}

void HistoryPresenter::showSystem(std::optional<marlit::SystemKey> system)
{
    m_system = std::move(system);
    RomListModel *model = m_romList->romModel();
    model->setFavourites({});
    model->forgetPlayLines();
    if (!m_system) {
        m_history.cancel(PlayHistory::Question::Stars);
        return;
    }
    m_history.requestFavouritePaths(
        *m_system, [model](std::unordered_set<std::string> &&paths) { model->setFavourites(std::move(paths)); });
}

void HistoryPresenter::showFolder(const std::string &folder)
{
    // The launch makes a ROM's path absolute the same way: the rows' paths are the history's keys.
    m_romList->romModel()->setFolder(marlit::absolutePath(folder));
}

void HistoryPresenter::launched(quint64 launchId, int row)
{
    if (m_system)
        m_history.expectPlay(launchId, m_romList->romModel()->pathAt(row), *m_system);
}

void HistoryPresenter::toggleFavourite()
{
    const int row = m_romList->currentRow();
    RomListModel *model = m_romList->romModel();
    if (!m_system || row < 0)
        return;
    // The star changes at once; the history is written behind it.
    const bool favourite = !model->isFavourite(row);
    model->setFavouriteAt(row, favourite);
    m_history.setFavourite(model->pathAt(row), *m_system, favourite);
}

void HistoryPresenter::forgetHistory()
{
    const int row = m_romList->currentRow();
    if (row < 0)
        return;
    RomListModel *model = m_romList->romModel();
    m_history.forget(model->pathAt(row));
    model->setPlayLine(model->pathAt(row), std::string());
}
