#include "gui/catalogue/EmulatorFinder.h"

#include "core/catalogue/EmulatorDetection.h"
#include "core/catalogue/NewWorkspace.h"
#include "core/launch/LogLine.h"
#include "gui/catalogue/EmulatorTableReader.h"

#include <QFile>

#include <cstdio>
#include <mutex>
#include <thread>

// What the search threads share with the finder: the finder while it lives, and the results not
// yet taken. A thread hands its result over under the mutex and wakes the finder with a queued
// call that carries nothing, so every exchange is one a race detector can follow; once the
// finder has gone, the result is dropped.
struct EmulatorFinder::Shared
{
    struct Delivery
    {
        unsigned request;
        Result result;
        std::vector<std::string> problems;
    };

    std::mutex mutex;
    EmulatorFinder *finder = nullptr;
    std::vector<Delivery> deliveries;
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
        found.emulators = known.emulators;
        if (checkWorkspace)
            found.offerToWorkspace = !marlit::NewWorkspace::wasOffered(workFolder) &&
                                     (catalogueFilesCreated || marlit::NewWorkspace::holdsOnlyBlankSystems(workFolder));
        std::vector<std::string> problems;
        for (const std::string &problem : known.problems)
            problems.push_back(QFile::encodeName(table).toStdString() + ": " + problem);

        const std::lock_guard lock(shared->mutex);
        if (EmulatorFinder *finder = shared->finder) {
            shared->deliveries.push_back({request, std::move(found), std::move(problems)});
            QMetaObject::invokeMethod(finder, "deliverResults", Qt::QueuedConnection);
        }
    }).detach();
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
        pending = false;
        // What is wrong with the table is said once per run, where the program's messages go
        // and, through the result, in the window.
        result = std::move(delivery.result);
        if (!problemsReported) {
            for (const std::string &problem : delivery.problems)
                std::fprintf(stderr, "marlit: %s\n", marlit::LogLine::escaped(problem).c_str());
            result.problems = std::move(delivery.problems);
        }
        problemsReported = true;
        emit found();
    }
}

// Compiled here so that programs using other widgets do not pull in the finder.
#include "moc_EmulatorFinder.cpp"
