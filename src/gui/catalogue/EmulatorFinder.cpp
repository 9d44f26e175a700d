#include "gui/catalogue/EmulatorFinder.h"

#include "core/catalogue/EmulatorDetection.h"
#include "core/catalogue/NewWorkspace.h"
#include "gui/catalogue/EmulatorTableReader.h"

#include <QFile>

#include <cstdio>
#include <mutex>
#include <thread>

// What the search threads share with the finder: the finder while it lives. A thread hands its
// result over under the mutex, so the finder cannot go meanwhile; once it has gone, the result
// is dropped.
struct EmulatorFinder::Shared
{
    std::mutex mutex;
    EmulatorFinder *finder = nullptr;
};

EmulatorFinder::EmulatorFinder(QObject *parent) : QObject(parent), shared(std::make_shared<Shared>())
{
    shared->finder = this;
}

EmulatorFinder::~EmulatorFinder()
{
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
    const unsigned request = ++generation;
    // Detached: a search that never returns (a hung network folder on PATH) must not hold up the
    // window's closing, and nothing of the finder is left for it to touch.
    std::thread([shared = shared, request, workFolder = std::move(workFolder), checkWorkspace, catalogueFilesCreated] {
        const QString table = EmulatorTableReader::location();
        const marlit::EmulatorTable known = EmulatorTableReader::read(table);
        Result found;
        found.knowsEmulators = !known.emulators.empty();
        found.systems = marlit::EmulatorDetection::systems(known.emulators,
                                                           marlit::EmulatorDetection::Environment::ofThisProcess());
        if (checkWorkspace)
            found.offerToWorkspace = !marlit::NewWorkspace::wasOffered(workFolder) &&
                                     (catalogueFilesCreated || marlit::NewWorkspace::holdsOnlyBlankSystems(workFolder));
        std::vector<std::string> problems;
        for (const std::string &problem : known.problems)
            problems.push_back(QFile::encodeName(table).toStdString() + ": " + problem);

        const std::lock_guard lock(shared->mutex);
        if (EmulatorFinder *finder = shared->finder)
            QMetaObject::invokeMethod(
                finder,
                [finder, request, found = std::move(found), problems = std::move(problems)]() mutable {
                    finder->deliver(request, std::move(found), std::move(problems));
                },
                Qt::QueuedConnection);
    }).detach();
}

void EmulatorFinder::deliver(unsigned request, Result scan, std::vector<std::string> problems)
{
    if (request != generation)
        return;
    pending = false;
    // What is wrong with the table is said once per run, where the program's messages go.
    if (!problemsReported)
        for (const std::string &problem : problems)
            std::fprintf(stderr, "marlit: %s\n", problem.c_str());
    problemsReported = true;
    result = std::move(scan);
    emit found();
}

// Compiled here so that programs using other widgets do not pull in the finder.
#include "moc_EmulatorFinder.cpp"
