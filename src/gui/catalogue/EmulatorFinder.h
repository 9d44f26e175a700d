#pragma once

#include "core/catalogue/EmulatorDetection.h"
#include "core/catalogue/EmulatorPreset.h"
#include "core/catalogue/SystemPreset.h"

#include <QObject>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct FolderAnswer;
class FolderReaderPool;
class QTimer;

// Reads the table of known emulators and looks for them on this computer without the window
// ever waiting. The table is read, and the files found programs need are looked at, on threads
// of their own; the programs are looked for on PATH by the folder readers, one request per
// folder, because a folder on a share that never answers would stick a thread in the kernel for
// good, and the window's process could not end. A folder that has not answered within
// kAnswerMs is passed over and named; the reader pool keeps one stuck look-up per folder at
// most. Only the newest search's result is delivered.
class EmulatorFinder : public QObject
{
    Q_OBJECT

public:
    static constexpr int kAnswerMs = 3000;
    static constexpr int kThreadRetryMs = 250;

    struct Result
    {
        std::vector<marlit::SystemPreset> systems;     // every known system, installed ones first
        std::vector<marlit::EmulatorPreset> emulators; // the table they come from
        bool knowsEmulators = false;                   // false: no usable table of them
        std::vector<std::string> problems;             // what is wrong with the table, for the user
        // Only for a search at start: the workspace is new and was not offered the emulators yet.
        bool offerToWorkspace = false;
        // Folders of PATH that did not answer, so were not looked in; and those of them this
        // search is the first to find so, to be said once.
        std::vector<std::string> unansweredFolders;
        std::vector<std::string> newlyUnanswered;
    };

    explicit EmulatorFinder(FolderReaderPool &readers, QObject *parent = nullptr);
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
    struct Search;
    void start(std::string workFolder, bool checkWorkspace, bool catalogueFilesCreated);
    Q_INVOKABLE void deliverResults();
    void askReaders(Search &search);
    void onAnswered(const std::shared_ptr<FolderAnswer> &answer);
    // Once every folder has answered or been passed over: the systems, on a thread.
    void finishLookups();
    void abandonLookups();

    FolderReaderPool &m_readers;
    QTimer *m_answerTimer;
    std::shared_ptr<Shared> shared;
    std::unique_ptr<Search> m_search; // the newest search's look-ups on PATH
    std::set<std::string> m_unansweredSaid;
    unsigned generation = 0;
    bool pending = false;
    bool problemsReported = false;
    Result result;
};
