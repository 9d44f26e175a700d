#include "gui/browse/FolderReaderPool.h"

#include "core/browse/ReaderProtocol.h"
#include "core/fs/SocketMessage.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>

using marlit::FolderRequest;
using marlit::ReaderProtocol;
using marlit::SocketMessage;

namespace {

// What one turn of the event loop reads from a reader at most, so that a long answer is taken
// in pieces between the window's other work.
constexpr std::size_t kBytesPerTurn = 256u << 10;

} // namespace

struct FolderReaderPool::Reader
{
    marlit::ReaderSpawner::Reader process;
    QSocketNotifier *notifier = nullptr;
    std::string inbox;
    std::deque<marlit::FileDescriptor> fds; // received, not yet claimed by a Done frame

    quint64 id = 0;                   // the request being answered; 0 when idle
    std::vector<std::string> folders; // the folders it reads for it
    marlit::FolderRequest request;    // what it was asked
    bool owesList = false;
    bool owesTree = false;
    bool owesWatch = false;
    bool owesCheck = false;
    bool owesEntries = false;
    marlit::FolderListing pending; // names, tree and presence gathered for the next Done

    bool busy() const { return id != 0; }
    bool owesAnything() const { return owesList || owesTree || owesWatch || owesCheck || owesEntries; }
    // The part a Done frame closes.
    bool &owedPart(const marlit::ReaderProtocol::Done &done)
    {
        return done.hasList      ? owesList
               : done.hasTree    ? owesTree
               : done.hasCheck   ? owesCheck
               : done.hasEntries ? owesEntries
                                 : owesWatch;
    }
};

// A reader ended in the middle of a read: its pidfd becomes readable once it is really gone.
struct FolderReaderPool::Ending
{
    marlit::FileDescriptor pidfd;
    QSocketNotifier *notifier = nullptr;
    std::vector<std::string> folders;
};

namespace {

std::vector<std::string> foldersOf(const FolderRequest &request)
{
    std::vector<std::string> folders;
    if (request.readList)
        folders.push_back(request.listFolder);
    if (request.readTree && (!request.readList || request.treeRoot != request.listFolder))
        folders.push_back(request.treeRoot);
    // A game list's folder (or its list of folders) likewise.
    if (!request.entriesOf.empty() && std::find(folders.begin(), folders.end(), request.entriesOf) == folders.end())
        folders.push_back(request.entriesOf);
    // Programs looked for on PATH: their folders hold one stuck reader at most, as ROM folders do.
    if (request.checkPrograms)
        for (const std::string &path : request.checkPaths)
            if (std::string folder = path.substr(0, path.rfind('/') + 1);
                std::find(folders.begin(), folders.end(), folder) == folders.end())
                folders.push_back(std::move(folder));
    return folders;
}

bool sharesFolder(const std::vector<std::string> &folders, const std::vector<std::string> &others)
{
    return std::any_of(folders.begin(), folders.end(), [&](const std::string &folder) {
        return std::find(others.begin(), others.end(), folder) != others.end();
    });
}

} // namespace

FolderReaderPool::FolderReaderPool(QObject *parent) : QObject(parent), m_spawnTimer(new QTimer(this))
{
    m_spawnTimer->setSingleShot(true);
    // A spawner answers within milliseconds: it only forks. One that does not is stopped or stuck.
    connect(m_spawnTimer, &QTimer::timeout, this, [this] {
        replaceSpawner();
        dispatchQueued();
    });
    replaceSpawner();
}

FolderReaderPool::~FolderReaderPool()
{
    // Readers are ended, never waited for: one may be stuck in the kernel for good.
    for (const std::unique_ptr<Reader> &reader : m_readers) {
        delete reader->notifier;
        marlit::ReaderSpawner::kill(reader->process);
    }
    for (const std::unique_ptr<Ending> &ending : m_ending)
        delete ending->notifier;
    delete m_spawnerNotifier;
}

int FolderReaderPool::busyCount() const
{
    return static_cast<int>(
        std::count_if(m_readers.begin(), m_readers.end(), [](const auto &reader) { return reader->busy(); }));
}

quint64 FolderReaderPool::send(FolderRequest request)
{
    request.id = m_nextId++;
    const quint64 id = request.id;
    m_wanted.insert(id);
    m_queue.push_back(std::move(request));
    m_sending = true;
    dispatchQueued();
    m_sending = false;
    return id;
}

void FolderReaderPool::abandon(quint64 id)
{
    m_wanted.erase(id);
    m_askedAgain.erase(id);
    // Not sent yet: never sent.
    m_queue.erase(
        std::remove_if(m_queue.begin(), m_queue.end(), [id](const FolderRequest &request) { return request.id == id; }),
        m_queue.end());
}

bool FolderReaderPool::held(quint64 id) const
{
    const auto queued =
        std::find_if(m_queue.begin(), m_queue.end(), [id](const FolderRequest &request) { return request.id == id; });
    return queued != m_queue.end() && folderBusy(*queued);
}

bool FolderReaderPool::folderBusy(const FolderRequest &request) const
{
    const std::vector<std::string> folders = foldersOf(request);
    return std::any_of(m_readers.begin(), m_readers.end(),
                       [&](const auto &reader) { return reader->busy() && sharesFolder(folders, reader->folders); }) ||
           std::any_of(m_ending.begin(), m_ending.end(),
                       [&](const auto &ending) { return sharesFolder(folders, ending->folders); });
}

FolderReaderPool::Reader *FolderReaderPool::idleReader(std::vector<Ready> &ready)
{
    for (const std::unique_ptr<Reader> &reader : m_readers)
        if (!reader->busy())
            return reader.get();
    if (static_cast<int>(m_readers.size()) + m_asked >= kMaxReaders) {
        // Every reader is busy: one whose answer nobody wants any more makes room, unless too
        // many ended readers are still stuck in the kernel.
        const auto unwanted = std::find_if(m_readers.begin(), m_readers.end(),
                                           [this](const auto &reader) { return !wanted(reader->id); });
        if (unwanted == m_readers.end() || static_cast<int>(m_ending.size()) >= kMaxEnding)
            return nullptr;
        retire(**unwanted, ECANCELED, ready);
    }
    if (static_cast<int>(m_readers.size()) + m_asked < kMaxReaders)
        askForReader();
    return nullptr;
}

void FolderReaderPool::replaceSpawner()
{
    // The old one goes with the readers it had not handed over yet; those it did stay.
    delete m_spawnerNotifier;
    m_spawnerNotifier = nullptr;
    m_spawnTimer->stop();
    m_asked = 0;
    m_spawner.reset();
    m_spawner = std::make_unique<marlit::ReaderSpawner>();
    if (!m_spawner->running())
        return;
    m_spawnerNotifier = new QSocketNotifier(m_spawner->descriptor(), QSocketNotifier::Read, this);
    connect(m_spawnerNotifier, &QSocketNotifier::activated, this, &FolderReaderPool::takeReaders);
}

void FolderReaderPool::askForReader()
{
    if (!m_spawner->running() || !m_spawner->ask()) {
        replaceSpawner(); // it died: the next one is asked
        if (!m_spawner->running() || !m_spawner->ask())
            return;
    }
    ++m_asked;
    if (!m_spawnTimer->isActive())
        m_spawnTimer->start(kSpawnTimeoutMs);
}

void FolderReaderPool::takeReaders()
{
    for (;;) {
        marlit::ReaderSpawner::Reader process;
        const marlit::ReaderSpawner::Taken taken = m_spawner->take(process);
        if (taken == marlit::ReaderSpawner::Taken::NotYet)
            break;
        if (taken == marlit::ReaderSpawner::Taken::Gone) {
            replaceSpawner(); // killed: the next one serves from now on
            break;
        }
        m_asked = std::max(0, m_asked - 1);
        m_spawnTimer->stop();
        if (m_asked > 0)
            m_spawnTimer->start(kSpawnTimeoutMs);
        if (taken != marlit::ReaderSpawner::Taken::Started)
            continue;
        auto reader = std::make_unique<Reader>();
        reader->process = std::move(process);
        const int fd = reader->process.socket.get();
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        reader->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        Reader *raw = reader.get();
        connect(reader->notifier, &QSocketNotifier::activated, this, [this, raw] { readAnswers(*raw); });
        m_readers.push_back(std::move(reader));
    }
    dispatchQueued();
}

void FolderReaderPool::failQueued(int error, std::vector<Ready> &ready)
{
    for (const FolderRequest &request : std::exchange(m_queue, {})) {
        Reader failed;
        failed.id = request.id;
        owe(failed, request);
        answerOwedParts(failed, error, ready);
    }
}

void FolderReaderPool::dispatchQueued()
{
    std::vector<Ready> ready;
    for (std::size_t i = 0; i < m_queue.size();) {
        if (folderBusy(m_queue[i])) {
            ++i; // held until the read of its folder under way ends
            continue;
        }
        Reader *reader = idleReader(ready);
        if (!reader) {
            ++i; // waits for the reader asked for it
            continue;
        }
        const FolderRequest request = std::move(m_queue[i]);
        m_queue.erase(m_queue.begin() + static_cast<std::ptrdiff_t>(i));
        dispatch(*reader, request, ready);
    }
    // No reader can be had at all: the queued requests fail now rather than never.
    if (!m_spawner->running() && m_readers.empty() && m_asked == 0)
        failQueued(EAGAIN, ready);
    deliver(std::move(ready));
}

void FolderReaderPool::owe(Reader &reader, const FolderRequest &request)
{
    reader.id = request.id;
    reader.owesList = request.readList;
    reader.owesTree = request.readTree;
    reader.owesWatch = request.watch && !request.watchOnly.empty();
    reader.owesCheck = !request.checkPaths.empty();
    reader.owesEntries = !request.entriesOf.empty();
    reader.pending = {};
    reader.folders = foldersOf(request);
    reader.request = request;
}

void FolderReaderPool::answerOwedParts(Reader &reader, int error, std::vector<Ready> &ready)
{
    const auto part = [&](bool list, bool tree) {
        auto answer = std::make_shared<FolderAnswer>();
        answer->listing.id = reader.id;
        answer->listing.hasList = list;
        answer->listing.listError = list ? error : 0;
        answer->listing.hasTree = tree;
        answer->listing.tree.error = tree ? error : 0;
        return answer;
    };
    if (!reader.busy())
        return;
    if (reader.owesList) {
        reader.owesList = false;
        ready.push_back({part(true, false), !reader.owesAnything()});
    }
    if (reader.owesTree) {
        reader.owesTree = false;
        ready.push_back({part(false, true), !reader.owesAnything()});
    }
    if (reader.owesCheck) {
        // Nothing was found out: no path is said to be gone.
        reader.owesCheck = false;
        auto answer = part(false, false);
        answer->listing.hasCheck = true;
        ready.push_back({std::move(answer), !reader.owesAnything()});
    }
    if (reader.owesEntries) {
        // Nothing was listed: the folders are passed over.
        reader.owesEntries = false;
        auto answer = part(false, false);
        answer->listing.hasEntries = true;
        ready.push_back({std::move(answer), !reader.owesAnything()});
    }
    if (reader.owesWatch) {
        reader.owesWatch = false;
        ready.push_back({part(false, false), true});
    }
    reader.id = 0;
}

void FolderReaderPool::dispatch(Reader &reader, const FolderRequest &request, std::vector<Ready> &ready)
{
    owe(reader, request);
    // An idle reader's socket is empty, and a request is a few hundred bytes: this never blocks.
    const std::string frame = ReaderProtocol::request(request);
    const ssize_t sent = ::send(reader.process.socket.get(), frame.data(), frame.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent != static_cast<ssize_t>(frame.size()))
        retire(reader, EIO, ready, true); // it died idle: the request never reached it
}

void FolderReaderPool::readAnswers(Reader &reader)
{
    bool ended = false;
    std::size_t taken = 0;
    while (taken < kBytesPerTurn) {
        char buffer[64 * 1024];
        SocketMessage::Received received =
            SocketMessage::receive(reader.process.socket.get(), buffer, sizeof buffer, MSG_DONTWAIT);
        const ssize_t got = received.size;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        for (marlit::FileDescriptor &fd : received.fds)
            reader.fds.push_back(std::move(fd));
        if (got <= 0) {
            ended = true; // the reader died, or its socket failed
            break;
        }
        reader.inbox.append(buffer, static_cast<std::size_t>(got));
        taken += static_cast<std::size_t>(got);
    }

    std::vector<Ready> ready;
    std::vector<std::pair<quint64, quint64>> counts;
    bool damaged = false;
    std::size_t consumed = 0;
    for (;;) {
        ReaderProtocol::Frame frame;
        std::size_t size = 0;
        const ReaderProtocol::Split split =
            ReaderProtocol::split(std::string_view(reader.inbox).substr(consumed), frame, size);
        if (split == ReaderProtocol::Split::Incomplete)
            break;
        if (split == ReaderProtocol::Split::Malformed || !reader.busy()) {
            damaged = true; // nothing is due from an idle reader
            break;
        }
        consumed += size;
        const quint64 answering = reader.id;
        std::uint64_t id = 0;
        bool ok = false;
        switch (frame.type) {
        case ReaderProtocol::FrameType::Progress: {
            std::uint64_t count = 0;
            ok = ReaderProtocol::readProgress(frame.payload, id, count);
            if (ok && wanted(id))
                counts.emplace_back(id, count);
            break;
        }
        case ReaderProtocol::FrameType::Names:
            ok = ReaderProtocol::readNames(frame.payload, id, reader.pending.names);
            break;
        case ReaderProtocol::FrameType::Tree:
            ok = ReaderProtocol::readTree(frame.payload, id, reader.pending.tree);
            break;
        case ReaderProtocol::FrameType::Presence:
            ok = ReaderProtocol::readPresence(frame.payload, id, reader.pending.present);
            break;
        case ReaderProtocol::FrameType::MissingParts:
            ok = ReaderProtocol::readMissingParts(frame.payload, id, reader.pending.missingParts);
            break;
        case ReaderProtocol::FrameType::Metafiles:
            ok = ReaderProtocol::readMetafiles(frame.payload, id, reader.pending.metafiles);
            break;
        case ReaderProtocol::FrameType::Entries:
            ok = ReaderProtocol::readEntries(frame.payload, id, reader.pending.entries);
            break;
        case ReaderProtocol::FrameType::Done: {
            const std::optional<ReaderProtocol::Done> done = ReaderProtocol::readDone(frame.payload);
            ok = done && done->id == answering && reader.owedPart(*done) && (done->watches == 0 || !reader.fds.empty());
            if (!ok)
                break;
            id = done->id;
            auto answer = std::make_shared<FolderAnswer>();
            answer->listing.id = done->id;
            answer->listing.hasList = done->hasList;
            answer->listing.hasTree = done->hasTree;
            answer->listing.listError = done->listError;
            answer->listing.hasCheck = done->hasCheck;
            answer->listing.hasEntries = done->hasEntries;
            answer->listing.stamp = done->stamp;
            answer->listing.unchanged = done->unchanged;
            answer->listing.tellsChanges = done->tellsChanges;
            answer->listing.watchRefused = done->watchRefused;
            answer->listing.sheetsPending = done->hasList && done->sheetsPending;
            answer->listing.treePending = done->hasTree && done->treePending;
            if (done->hasTree)
                answer->listing.tree = std::move(reader.pending.tree);
            if (done->hasList) {
                answer->listing.names = std::move(reader.pending.names);
                answer->listing.missingParts = std::move(reader.pending.missingParts);
                answer->listing.metafiles = std::move(reader.pending.metafiles);
            }
            if (done->hasCheck)
                answer->listing.present = std::move(reader.pending.present);
            if (done->hasEntries)
                answer->listing.entries = std::move(reader.pending.entries);
            reader.pending = {};
            if (done->watches != 0) {
                answer->watch = std::move(reader.fds.front());
                reader.fds.pop_front();
            }
            // A list shown before its sheets are read comes once more, a tree before its watch too.
            if (!answer->listing.sheetsPending && !answer->listing.treePending)
                reader.owedPart(*done) = false;
            ready.push_back({std::move(answer), !reader.owesAnything()});
            if (!reader.owesAnything())
                reader.id = 0;
            break;
        }
        case ReaderProtocol::FrameType::Request:
            break;
        }
        if (!ok || id != answering) {
            damaged = true;
            break;
        }
    }
    reader.inbox.erase(0, consumed);

    const bool becameIdle = !reader.busy();
    if (damaged || ended)
        retire(reader, EIO, ready, ended && !damaged); // reader is gone from here on
    else if (becameIdle)
        reader.fds.clear();
    for (const auto &[id, count] : counts)
        if (wanted(id))
            emit progress(id, count);
    deliver(std::move(ready));
    dispatchQueued();
}

void FolderReaderPool::retire(Reader &reader, int error, std::vector<Ready> &ready, bool askAgain)
{
    marlit::ReaderSpawner::kill(reader.process);
    // Ended in the middle of a read, it may stay in the kernel as long as the read: it counts
    // until it is gone, and so does its folder.
    if (reader.busy() && reader.process.pidfd.valid()) {
        auto ending = std::make_unique<Ending>();
        ending->folders = reader.folders;
        ending->pidfd = std::move(reader.process.pidfd);
        ending->notifier = new QSocketNotifier(ending->pidfd.get(), QSocketNotifier::Read, this);
        Ending *raw = ending.get();
        connect(ending->notifier, &QSocketNotifier::activated, this, [this, raw] {
            raw->notifier->setEnabled(false);
            raw->notifier->deleteLater();
            std::erase_if(m_ending, [raw](const auto &held) { return held.get() == raw; });
            dispatchQueued();
        });
        m_ending.push_back(std::move(ending));
    }
    if (askAgain && wanted(reader.id) && ++m_askedAgain[reader.id] <= kMaxAskedAgain) {
        // A reader that died (with its spawner, say) is not the folder's fault: once more, on
        // another, for the parts still owed.
        FolderRequest again = reader.request;
        again.readList = reader.owesList;
        again.readTree = reader.owesTree;
        if (!reader.owesCheck)
            again.checkPaths.clear();
        if (!reader.owesWatch)
            again.watchOnly.clear();
        if (!reader.owesEntries)
            again.entriesOf.clear();
        m_queue.push_front(std::move(again));
        reader.id = 0;
    }
    // The parts still owed are answered as failures, so that nobody waits for them.
    answerOwedParts(reader, error, ready);
    // Its notifier may be the one calling: it goes once the call is over.
    reader.notifier->setEnabled(false);
    reader.notifier->deleteLater();
    const auto it =
        std::find_if(m_readers.begin(), m_readers.end(), [&](const auto &held) { return held.get() == &reader; });
    if (it != m_readers.end())
        m_readers.erase(it);
}

void FolderReaderPool::deliver(std::vector<Ready> ready)
{
    if (m_sending) {
        // The sender does not know the id yet: next turn.
        if (!ready.empty() && m_late.empty())
            QTimer::singleShot(0, this, &FolderReaderPool::deliverLate);
        std::move(ready.begin(), ready.end(), std::back_inserter(m_late));
        return;
    }
    for (const Ready &part : ready) {
        const quint64 id = part.answer->listing.id;
        if (wanted(id))
            emit answered(part.answer);
        if (part.last) {
            m_wanted.erase(id);
            m_askedAgain.erase(id);
        }
    }
}

void FolderReaderPool::deliverLate()
{
    deliver(std::exchange(m_late, {}));
}
