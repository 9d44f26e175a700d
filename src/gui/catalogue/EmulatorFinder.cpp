#include "gui/catalogue/EmulatorFinder.h"

#include "core/browse/FolderRequest.h"
#include "core/catalogue/NewWorkspace.h"
#include "core/launch/LogLine.h"
#include "gui/browse/FolderReaderPool.h"
#include "gui/catalogue/EmulatorTableReader.h"

#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>

using marlit::EmulatorDetection;

// What the threads share with the finder: the finder while it lives, and the results not yet
// taken. A thread hands its result over under the mutex and wakes the finder with a queued call
// that carries nothing, so every exchange is one a race detector can follow; once the finder has
// gone, the result is dropped.
struct EmulatorFinder::Shared
{
    struct Delivery
    {
        unsigned request;
        bool final;                                    // the systems; else the table, read
        std::vector<marlit::EmulatorPreset> emulators; // of the table
        EmulatorDetection::Environment environment;
        Result result;
        std::vector<std::string> problems;
    };

    std::mutex mutex;
    EmulatorFinder *finder = nullptr;
    std::vector<Delivery> deliveries;

    // Runs work on a thread of its own and hands its delivery over. Detached: a thread stuck on
    // a disk that does not answer must not hold up the window's closing. A thread the system
    // refuses (too many of them stuck already, say) is asked for again a little later: doing the
    // work here instead could hold the window on that same disk.
    template <typename Work> static void run(const std::shared_ptr<Shared> &shared, Work work)
    {
        const auto body = [shared, work]() mutable {
            Delivery delivery = work();
            const std::lock_guard lock(shared->mutex);
            if (EmulatorFinder *finder = shared->finder) {
                shared->deliveries.push_back(std::move(delivery));
                QMetaObject::invokeMethod(finder, "deliverResults", Qt::QueuedConnection);
            }
        };
        try {
            std::thread(body).detach(); // a copy: a refused thread leaves nothing to retry with
        } catch (const std::system_error &) {
            if (EmulatorFinder *finder = shared->finder)
                QTimer::singleShot(kThreadRetryMs, finder, [shared, work] { run(shared, work); });
        }
    }
};

// The look-ups on PATH of one search: a request per folder, in PATH's order.
struct EmulatorFinder::Search
{
    unsigned request = 0;
    std::vector<marlit::EmulatorPreset> emulators;
    EmulatorDetection::Environment environment;
    Result result; // all but the systems
    std::vector<EmulatorDetection::Lookup> lookups;
    std::map<quint64, std::size_t> asked; // request id: its look-up, until answered
    std::vector<bool> unanswered;         // by look-up
    std::set<std::string> executables;
};

EmulatorFinder::EmulatorFinder(FolderReaderPool &readers, QObject *parent)
    : QObject(parent), m_readers(readers), m_answerTimer(new QTimer(this)), shared(std::make_shared<Shared>())
{
    shared->finder = this;
    m_answerTimer->setSingleShot(true);
    connect(m_answerTimer, &QTimer::timeout, this, [this] {
        // The folders still silent are passed over; their readers are the pool's to bound.
        if (!m_search)
            return;
        for (const auto &[id, lookup] : m_search->asked)
            m_search->unanswered[lookup] = true;
        abandonLookups();
        finishLookups();
    });
    connect(&m_readers, &FolderReaderPool::answered, this, &EmulatorFinder::onAnswered);
}

EmulatorFinder::~EmulatorFinder()
{
    // The pool may be gone already: nothing is abandoned, its answers reach nobody.
    const std::lock_guard lock(shared->mutex);
    shared->finder = nullptr;
}

void EmulatorFinder::find()
{
    start({}, false, false);
}

void EmulatorFinder::findAtStart(const std::string &workFolder, bool catalogueFilesCreated)
{
    start(workFolder, true, catalogueFilesCreated);
}

void EmulatorFinder::start(std::string workFolder, bool checkWorkspace, bool catalogueFilesCreated)
{
    pending = true;
    abandonLookups();
    m_search.reset();
    m_answerTimer->stop();
    const unsigned request = ++generation;
    Shared::run(shared, [request, workFolder = std::move(workFolder), checkWorkspace, catalogueFilesCreated] {
        const QString table = EmulatorTableReader::location();
        marlit::EmulatorTable known = EmulatorTableReader::read(table);
        Shared::Delivery delivery{request, false, {}, EmulatorDetection::Environment::ofThisProcess(), {}, {}};
        delivery.result.knowsEmulators = !known.emulators.empty();
        delivery.result.emulators = known.emulators;
        if (checkWorkspace)
            delivery.result.offerToWorkspace =
                !marlit::NewWorkspace::wasOffered(workFolder) &&
                (catalogueFilesCreated || marlit::NewWorkspace::holdsOnlyBlankSystems(workFolder));
        for (const std::string &problem : known.problems)
            delivery.problems.push_back(QFile::encodeName(table).toStdString() + ": " + problem);
        delivery.emulators = std::move(known.emulators);
        return delivery;
    });
}

void EmulatorFinder::askReaders(Search &search)
{
    search.lookups = EmulatorDetection::lookups(search.emulators, search.environment);
    search.unanswered.assign(search.lookups.size(), false);
    for (std::size_t i = 0; i < search.lookups.size(); ++i) {
        const EmulatorDetection::Lookup &lookup = search.lookups[i];
        marlit::FolderRequest request;
        request.checkPrograms = true;
        for (const std::string &name : lookup.names)
            request.checkPaths.push_back(lookup.folder + name);
        const quint64 id = m_readers.send(std::move(request));
        // Waiting behind a look-up of the same folder that did not answer last time: no answer
        // is to be had now either.
        if (m_readers.held(id) && std::find(result.unansweredFolders.begin(), result.unansweredFolders.end(),
                                            lookup.folder) != result.unansweredFolders.end()) {
            m_readers.abandon(id);
            search.unanswered[i] = true;
            continue;
        }
        search.asked.emplace(id, i);
    }
}

void EmulatorFinder::onAnswered(const std::shared_ptr<FolderAnswer> &answer)
{
    if (!m_search)
        return;
    const auto it = m_search->asked.find(answer->listing.id);
    if (it == m_search->asked.end() || !answer->listing.hasCheck)
        return;
    const EmulatorDetection::Lookup &lookup = m_search->lookups[it->second];
    for (std::size_t i = 0; i < answer->listing.present.size() && i < lookup.names.size(); ++i)
        if (answer->listing.present[i])
            m_search->executables.insert(lookup.folder + lookup.names[i]);
    m_search->asked.erase(it);
    if (m_search->asked.empty())
        finishLookups();
}

void EmulatorFinder::abandonLookups()
{
    if (!m_search)
        return;
    for (const auto &[id, lookup] : m_search->asked)
        m_readers.abandon(id);
    m_search->asked.clear();
}

void EmulatorFinder::finishLookups()
{
    m_answerTimer->stop();
    std::unique_ptr<Search> search = std::move(m_search);
    for (std::size_t i = 0; i < search->lookups.size(); ++i)
        if (search->unanswered[i])
            search->result.unansweredFolders.push_back(search->lookups[i].folder);
    // What the found programs need is looked at on a thread: those files are no PATH folder.
    Shared::run(shared, [search = std::shared_ptr<Search>(std::move(search))] {
        Shared::Delivery delivery{search->request, true, {}, {}, std::move(search->result), {}};
        delivery.result.systems =
            EmulatorDetection::systems(search->emulators, search->environment, search->executables);
        return delivery;
    });
}

void EmulatorFinder::deliverResults()
{
    std::vector<Shared::Delivery> deliveries;
    {
        const std::lock_guard lock(shared->mutex);
        deliveries.swap(shared->deliveries);
    }
    for (Shared::Delivery &delivery : deliveries) {
        if (delivery.request != generation)
            continue; // a newer search is under way
        if (!delivery.final) {
            // What is wrong with the table is said once per run, where the program's messages
            // go and, through the result, in the window.
            if (!problemsReported) {
                for (const std::string &problem : delivery.problems)
                    std::fprintf(stderr, "marlit: %s\n", marlit::LogLine::escaped(problem).c_str());
                delivery.result.problems = std::move(delivery.problems);
            }
            problemsReported = true;
            m_search = std::make_unique<Search>();
            m_search->request = delivery.request;
            m_search->emulators = std::move(delivery.emulators);
            m_search->environment = std::move(delivery.environment);
            m_search->result = std::move(delivery.result);
            askReaders(*m_search);
            if (m_search->asked.empty())
                finishLookups();
            else
                m_answerTimer->start(kAnswerMs);
            continue;
        }
        pending = false;
        result = std::move(delivery.result);
        for (const std::string &folder : result.unansweredFolders)
            if (m_unansweredSaid.insert(folder).second) {
                result.newlyUnanswered.push_back(folder);
                std::fprintf(stderr, "marlit: %s: the folder does not answer; emulators were not looked for in it\n",
                             marlit::LogLine::escaped(folder).c_str());
            }
        emit found();
    }
}

// Compiled here so that programs using other widgets do not pull in the finder.
#include "moc_EmulatorFinder.cpp"
