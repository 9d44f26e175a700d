#pragma once

#include "core/catalogue/EmulatorPreset.h"
#include "core/catalogue/SystemPreset.h"

#include <QObject>

#include <memory>
#include <string>
#include <vector>

// Reads the table of known emulators and looks for them on this computer, on a thread of its
// own: the window never waits, not even for a disk that does not answer, and can close while a
// search is under way. Only the newest search's result is delivered.
class EmulatorFinder : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        std::vector<marlit::SystemPreset> systems;     // every known system, installed ones first
        std::vector<marlit::EmulatorPreset> emulators; // the table they come from
        bool knowsEmulators = false;                   // false: no usable table of them
        std::vector<std::string> problems;             // what is wrong with the table, for the user
        // Only for a search at start: the workspace is new and was not offered the emulators yet.
        bool offerToWorkspace = false;
    };

    explicit EmulatorFinder(QObject *parent = nullptr);
    ~EmulatorFinder() override;

    void find();
    // The same at start, deciding too whether to offer the emulators found to the workspace in
    // workFolder: when its four catalogue files were just created, or hold only blank systems,
    // and it was not offered them before.
    void findAtStart(const std::string &workFolder, bool catalogueFilesCreated);

    bool searching() const { return pending; }
    // The newest result delivered; empty before the first.
    const Result &latest() const { return result; }

signals:
    void found();

private:
    struct Shared;
    void start(std::string workFolder, bool checkWorkspace, bool catalogueFilesCreated);
    Q_INVOKABLE void deliverResults();

    std::shared_ptr<Shared> shared;
    unsigned generation = 0;
    bool pending = false;
    bool problemsReported = false;
    Result result;
};
