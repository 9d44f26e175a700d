#include "gui/ui/BrowsingSession.h"

#include "core/browse/FolderStatusText.h"
#include "core/catalogue/CategoryTable.h"
#include "core/catalogue/SystemEntry.h"
#include "core/fs/WorkingDirectory.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/ui/HistoryPresenter.h"
#include "gui/ui/HistoryViews.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"

namespace {

// How the play history names a system: its category's file and its name; its views are the
// ROMs of its ROM folder, whatever the system is called.
std::optional<marlit::SystemKey> systemKeyOf(int category, const marlit::SystemEntry *entry)
{
    const char *file = marlit::CategoryTable::fileName(category);
    if (!entry || !file)
        return std::nullopt;
    return marlit::SystemKey{file, entry->name,
                             entry->romDirectory.empty() ? std::string() : marlit::absolutePath(entry->romDirectory)};
}

} // namespace

BrowsingSession::BrowsingSession(RomFolderReader &reader, HistoryPresenter &presenter, HistoryViews &views,
                                 RomListBox *romList, QObject *parent)
    : QObject(parent), m_reader(reader), m_presenter(presenter), m_views(views), m_romList(romList)
{
}

int BrowsingSession::chooseCategory(int category, const marlit::CategoryCatalogue &catalogue, bool restoring)
{
    return m_state.chooseCategory(category, catalogue, restoring);
}

void BrowsingSession::chooseSystem(int row, const marlit::SystemEntry *entry)
{
    m_views.stop();
    m_romList->awaitNames();
    m_state.chooseSystem(row, entry);
    m_presenter.showSystem(systemKeyOf(m_state.category(), entry));
    m_presenter.showFolder(m_state.romFolder());

    // The folders are read by reader processes; what they find comes as the reader's treeRead
    // and listRead.
    if (m_state.listsFolders())
        m_reader.readSystem(m_state.romRoot(), m_state.search(), {entry->snapshotDirA, entry->snapshotDirB});
    else
        m_reader.stop(entry ? marlit::FolderStatusText::noRomFolder() : std::string());
    emit systemChosen();
}

bool BrowsingSession::chooseFolder(marlit::BrowseView view, const std::vector<std::string> &treePath)
{
    m_romList->awaitNames();
    if (view == marlit::BrowseView::Folder)
        m_state.chooseFolder(treePath);
    else
        m_state.chooseView(view);
    const bool folder = !showHistoryView();
    if (folder)
        m_presenter.showFolder(m_state.romFolder());
    emit folderChosen();
    return folder;
}

bool BrowsingSession::showHistoryView()
{
    if (m_state.view() == marlit::BrowseView::AllGames) {
        // Read like a folder, by the reader processes, with the sub-folders' games.
        m_views.stop();
        m_presenter.showFolder(m_state.romFolder());
        if (m_state.listsFolders())
            m_reader.readAll(m_state.search());
        return true;
    }
    const std::optional<marlit::SystemKey> &system = m_presenter.system();
    if (m_state.view() == marlit::BrowseView::Folder || !system) {
        m_views.stop();
        return false;
    }
    m_reader.dropList();
    m_views.show(m_state.view() == marlit::BrowseView::Favourites ? marlit::HistoryView::Kind::Favourites
                                                                  : marlit::HistoryView::Kind::RecentlyPlayed,
                 *system, m_state.search());
    return true;
}

void BrowsingSession::chooseRom(int row)
{
    m_state.chooseRom(row >= 0 ? m_romList->nameAt(row) : std::string());
    emit romChosen();
}

void BrowsingSession::toggleSearchMode()
{
    m_state.toggleSearchMode();
    emit searchChanged();
}

void BrowsingSession::applyOrClear(const std::string &text)
{
    m_state.applyOrClear(text);
    emit searchChanged();
}

void BrowsingSession::applyAfresh(const std::string &text)
{
    m_state.applyAfresh(text);
    emit searchChanged();
}

std::string BrowsingSession::folderOf(int row) const
{
    return m_views.shown() ? m_romList->romModel()->folderAt(row) : m_state.romFolder();
}
