#include "gui/browse/RomFolderReader.h"

#include "core/browse/FolderStatusText.h"
#include "core/browse/FolderTreeScanner.h"
#include "gui/browse/FolderWatch.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>

using marlit::FolderRequest;
using marlit::FolderStatusText;

RomFolderReader::RomFolderReader(QObject *parent) : QObject(parent), m_pool(new FolderReaderPool(this))
{
    connect(m_pool, &FolderReaderPool::answered, this, &RomFolderReader::onAnswered);
    connect(m_pool, &FolderReaderPool::progress, this, &RomFolderReader::onProgress);
    m_clock.start();
    for (QTimer *timer :
         {&m_treeTimer, &m_listTimer, &m_pictureTimer, &m_readingTimer, &m_answerTimer, &m_treeReadingTimer})
        timer->setSingleShot(true);
    connect(&m_treeTimer, &QTimer::timeout, this, &RomFolderReader::refreshTree);
    connect(&m_listTimer, &QTimer::timeout, this, &RomFolderReader::refreshList);
    connect(&m_pictureTimer, &QTimer::timeout, this, [this] {
        m_pictureSchedule.started();
        emit picturesChanged();
    });
    m_checkTimer.setInterval(kCheckMs);
    connect(&m_checkTimer, &QTimer::timeout, this, &RomFolderReader::checkFolders);
    connect(&m_readingTimer, &QTimer::timeout, this, [this] {
        if (m_listId == 0 || m_listHeld)
            return;
        m_sayingReading = true;
        setListStatus(FolderStatusText::reading(m_folder, m_namesSoFar));
    });
    connect(&m_treeReadingTimer, &QTimer::timeout, this, [this] {
        m_sayingTreeReading = m_treeId != 0 && !m_treeRefresh;
        emitStatus();
    });
    connect(&m_answerTimer, &QTimer::timeout, this, [this] {
        if (m_listId != 0 && !m_listHeld)
            setListStatus(FolderStatusText::notAnswering(m_folder));
    });
}

RomFolderReader::~RomFolderReader() = default;

void RomFolderReader::drop(quint64 &id)
{
    if (id != 0)
        m_pool->abandon(id);
    id = 0;
}

void RomFolderReader::stop(const std::string &why)
{
    drop(m_treeId);
    drop(m_listId);
    drop(m_pictureWatchId);
    m_treeWatch.reset();
    m_listWatch.reset();
    m_pictureWatch.reset();
    for (marlit::RefreshSchedule *schedule : {&m_treeSchedule, &m_listSchedule, &m_pictureSchedule})
        schedule->started();
    for (QTimer *timer :
         {&m_treeTimer, &m_listTimer, &m_pictureTimer, &m_readingTimer, &m_answerTimer, &m_treeReadingTimer})
        timer->stop();
    m_treeCut = false;
    m_sayingTreeReading = false;
    m_checkTimer.stop();
    m_checkList = m_checkTree = m_listRefused = m_listHeld = false;
    m_listError = m_treeError = 0;
    setListStatus(why);
}

void RomFolderReader::readSystem(const std::string &romRoot, const marlit::RomSearch &search,
                                 const std::vector<std::string> &pictureFolders)
{
    stop();
    m_root = romRoot;
    m_folder = romRoot;
    m_listAll = false;
    m_search = search;

    FolderRequest request = listRequest();
    request.readTree = true;
    request.treeRoot = romRoot;
    std::copy_if(pictureFolders.begin(), pictureFolders.end(), std::back_inserter(request.watchOnly),
                 [](const std::string &folder) { return !folder.empty(); });
    const bool watchesPictures = !request.watchOnly.empty();
    const quint64 id = m_pool->send(std::move(request));
    m_treeId = id;
    m_listId = id;
    m_pictureWatchId = watchesPictures ? id : 0;
    m_treeRefresh = false;
    m_listRefresh = false;
    startListStatus();
    m_treeReadingTimer.start(kReadingNoticeMs);
}

void RomFolderReader::readList(const std::string &folder, const marlit::RomSearch &search)
{
    m_folder = folder;
    m_search = search;
    m_checkList = m_listRefused = false;
    m_listAll = false;
    sendList(false);
    startListStatus();
    readFailedTreeAgain();
}

void RomFolderReader::readAll(const marlit::RomSearch &search)
{
    m_folder = m_root;
    m_search = search;
    m_checkList = m_listRefused = false;
    m_listAll = true;
    sendList(false);
    startListStatus();
    readFailedTreeAgain();
}

void RomFolderReader::readFailedTreeAgain()
{
    // A choice reads afresh: a tree that could not be read is not left as it was.
    if (m_treeError != 0 && m_treeId == 0)
        refreshTree();
}

void RomFolderReader::dropList()
{
    // A system's first read asks for its tree and list at once: that request stays for the tree.
    if (m_listId != m_treeId && m_listId != m_pictureWatchId)
        drop(m_listId);
    m_listId = 0;
    m_listHeld = m_checkList = m_listRefused = false;
    m_listError = 0;
    m_listWatch.reset();
    m_listSchedule.started();
    for (QTimer *timer : {&m_listTimer, &m_readingTimer, &m_answerTimer})
        timer->stop();
    m_sayingReading = false;
    setListStatus({});
}

void RomFolderReader::refreshTree()
{
    // The old watch goes now: what changes from here on, the new one (made before the new read)
    // sees, and what changed before it, the new read does.
    m_treeSchedule.started();
    m_treeWatch.reset();
    drop(m_treeId);
    FolderRequest request;
    request.readTree = true;
    request.treeRoot = m_root;
    request.watch = true;
    m_treeId = m_pool->send(std::move(request));
    m_treeRefresh = true;
}

void RomFolderReader::refreshList()
{
    // The list shown stays shown and usable while it is read again, and nothing is said.
    sendList(true);
}

FolderRequest RomFolderReader::listRequest() const
{
    FolderRequest request;
    request.readList = true;
    request.listFolder = m_folder;
    request.search = m_search;
    request.fileTypes = m_fileTypes;
    request.listAll = m_listAll;
    request.watch = true;
    return request;
}

void RomFolderReader::sendList(bool refresh)
{
    // The old watch goes before the new read: what changes from here on, the new one sees.
    m_listSchedule.started();
    m_listTimer.stop();
    m_listWatch.reset();
    // A system's first read may still owe its tree, after the list shown before its sheets were read.
    if (m_listId != m_treeId && m_listId != m_pictureWatchId)
        drop(m_listId);
    m_listId = m_pool->send(listRequest());
    m_listRefresh = refresh;
}

bool RomFolderReader::waitForIdle(int timeoutMs)
{
    // Sleeps until events come (answers, or the guard's time-out): a busy wait here would take
    // the processor from the readers it waits for.
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(timeoutMs);
    while (reading() && guard.isActive())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return !reading();
}

void RomFolderReader::onProgress(quint64 id, quint64 namesSoFar)
{
    if (id != m_listId || m_listRefresh)
        return;
    m_namesSoFar = namesSoFar;
    m_answerTimer.start(kNotAnsweringMs); // it answers, slowly
    if (m_sayingReading)
        setListStatus(FolderStatusText::reading(m_folder, m_namesSoFar));
}

std::vector<std::string> RomFolderReader::missingPartsOf(const std::string &path) const
{
    std::vector<std::string> files;
    for (const auto &[sheet, file] : m_missingParts)
        if (path.size() == m_missingFolder.size() + sheet.size() && path.starts_with(m_missingFolder) &&
            path.ends_with(sheet))
            files.push_back(file);
    return files;
}

void RomFolderReader::onAnswered(const std::shared_ptr<FolderAnswer> &answer)
{
    const marlit::FolderListing &listing = answer->listing;
    if (listing.hasList && listing.id == m_listId && listing.id == m_sheetsPendingId) {
        // The list shown, once its sheets are read: it stays, or is corrected as a refresh.
        // "All Games" is watched from here on, its folders having been watched after it answered.
        m_listId = m_sheetsPendingId = 0;
        if (answer->watch.valid() || listing.watchRefused) {
            watch(m_listWatch, answer, m_listSchedule, m_listTimer, false, m_checkList);
            noteFolder(listing, m_listStamp, m_checkList);
            m_listRefused = listing.watchRefused;
            setListStatus(m_listRefused ? FolderStatusText::notFollowed(m_folder) : std::string());
        }
        if (listing.unchanged)
            return;
        m_missingParts = listing.missingParts;
        emit listRead(answer, true);
    } else if (listing.hasList && listing.id == m_listId) {
        m_listId = listing.sheetsPending ? listing.id : 0;
        m_sheetsPendingId = listing.sheetsPending ? listing.id : 0;
        // Looked at, as it was, or refused again as before: all stays.
        if (listing.unchanged || (m_listRefresh && m_listError != 0 && listing.listError == m_listError))
            return;
        m_listError = listing.listError;
        m_readingTimer.stop();
        m_answerTimer.stop();
        m_sayingReading = false;
        m_listHeld = false;
        watch(m_listWatch, answer, m_listSchedule, m_listTimer, false, m_checkList);
        noteFolder(listing, m_listStamp, m_checkList);
        m_listRefused = listing.watchRefused;
        m_missingFolder = m_folder;
        m_missingParts = listing.missingParts;
        setListStatus(listing.listError != 0 ? FolderStatusText::cannotRead(m_folder, listing.listError)
                      : m_listRefused        ? FolderStatusText::notFollowed(m_folder)
                                             : std::string());
        emit listRead(answer, m_listRefresh);
    } else if (listing.hasTree && listing.id == m_treeId && listing.id == m_treePendingId) {
        // The tree shown, once its folders are watched: it stays, or is corrected as a refresh.
        m_treeId = m_treePendingId = 0;
        if (listing.tree.error != 0) {
            // The reader failed after it answered: what it showed stays, and is looked at again.
            m_checkTree = true;
            if (!m_checkTimer.isActive())
                m_checkTimer.start();
            return;
        }
        watch(m_treeWatch, answer, m_treeSchedule, m_treeTimer, true, m_checkTree);
        noteFolder(listing, m_treeStamp, m_checkTree);
        if (!listing.unchanged)
            emit treeRead(answer, true);
    } else if (listing.hasTree && listing.id == m_treeId) {
        m_treeId = m_treePendingId = listing.treePending ? listing.id : 0;
        if (listing.unchanged || (m_treeRefresh && m_treeError != 0 && listing.tree.error == m_treeError))
            return;
        m_treeError = listing.tree.error;
        m_treeReadingTimer.stop();
        m_sayingTreeReading = false;
        watch(m_treeWatch, answer, m_treeSchedule, m_treeTimer, true, m_checkTree);
        noteFolder(listing, m_treeStamp, m_checkTree);
        m_treeCut = listing.tree.cut;
        emitStatus();
        emit treeRead(answer, m_treeRefresh);
    } else if (!listing.hasList && !listing.hasTree && listing.id == m_pictureWatchId) {
        m_pictureWatchId = 0;
        bool noCheck = false;
        watch(m_pictureWatch, answer, m_pictureSchedule, m_pictureTimer, false, noCheck);
    }
}

void RomFolderReader::watch(std::unique_ptr<FolderWatch> &slot, const std::shared_ptr<FolderAnswer> &answer,
                            marlit::RefreshSchedule &schedule, QTimer &timer, bool foldersMatter, bool &checkOnLoss)
{
    slot.reset();
    if (!answer->watch.valid())
        return;
    slot = std::make_unique<FolderWatch>(std::move(answer->watch));
    connect(slot.get(), &FolderWatch::changed, this,
            [this, &slot, &schedule, &timer, foldersMatter, &checkOnLoss](const marlit::WatchEvents::Summary &summary) {
                if (summary.lost) {
                    // Gone, or its file system unmounted: what comes back there is told by
                    // nothing, so it is looked for.
                    checkOnLoss = true;
                    if (!m_checkTimer.isActive())
                        m_checkTimer.start();
                }
                // "All Games" holds the games of the sub-folders: a folder that comes or goes changes it.
                const bool allGames = &slot == &m_listWatch && m_listAll;
                if (summary.lost || (foldersMatter ? summary.folders : summary.files || (allGames && summary.folders)))
                    noteChange(schedule, timer);
            });
}

void RomFolderReader::noteFolder(const marlit::FolderListing &listing, std::optional<marlit::FileStamp> &stamp,
                                 bool &check)
{
    stamp = listing.stamp;
    const int error = listing.hasList ? listing.listError : listing.tree.error;
    check = check || error != 0 || !listing.tellsChanges;
    if (check && !m_checkTimer.isActive())
        m_checkTimer.start();
}

void RomFolderReader::checkFolders()
{
    // Only what is not being read already; the answer is a refresh, or nothing when unchanged.
    if (m_checkList && m_listId == 0) {
        FolderRequest request = listRequest();
        request.onlyIfChanged = m_listError == 0;
        request.listStamp = m_listStamp;
        m_listId = m_pool->send(std::move(request));
        m_listRefresh = true;
    }
    if (m_checkTree && m_treeId == 0) {
        FolderRequest request;
        request.readTree = true;
        request.treeRoot = m_root;
        request.watch = true;
        request.onlyIfChanged = m_treeError == 0;
        request.treeStamp = m_treeStamp;
        m_treeId = m_pool->send(std::move(request));
        m_treeRefresh = true;
    }
}

void RomFolderReader::noteChange(marlit::RefreshSchedule &schedule, QTimer &timer)
{
    const long long now = m_clock.elapsed();
    const long long due = schedule.noteChange(now);
    timer.start(static_cast<int>(std::max(0LL, due - now)));
}

void RomFolderReader::startListStatus()
{
    m_namesSoFar = 0;
    m_sayingReading = false;
    // A folder that did not answer the read before still has it: one read each, the new one
    // after, and said so at once.
    m_listHeld = m_pool->held(m_listId);
    setListStatus(m_listHeld ? FolderStatusText::waitingForEarlierRead(m_folder) : std::string());
    m_readingTimer.start(kReadingNoticeMs);
    m_answerTimer.start(kNotAnsweringMs);
}

void RomFolderReader::setListStatus(std::string text)
{
    m_listStatus = std::move(text);
    emitStatus();
}

void RomFolderReader::emitStatus()
{
    // What the list says about its own folder comes first; the tree's bound after.
    std::string text = m_listStatus;
    if (text.empty() && m_sayingTreeReading)
        text = FolderStatusText::readingFolders(m_root);
    if (text.empty() && m_treeCut)
        text = FolderStatusText::treeCut(marlit::FolderTreeScanner::kMaxFolders);
    const QString status = QFile::decodeName(QByteArray::fromStdString(text));
    if (status == m_shownStatus)
        return;
    m_shownStatus = status;
    emit statusChanged(status);
}
