#pragma once

#include "core/browse/RefreshSchedule.h"
#include "core/browse/RomSearch.h"
#include "gui/browse/FolderReaderPool.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class FolderWatch;

// Reads what the window shows of a system's ROM folders, through folder reader processes, and
// keeps it current: the folder tree of the ROM directory, the ROM list of one folder, and the
// watch of the system's snapshot folders.
//
// Each new read drops the answers of the one it replaces. What was read is watched (inotify);
// a change makes a fresh read of that part (tree or list) once the changes pause, with the
// folder and search it was read with, and it is delivered as a refresh, for the window to apply
// keeping what the user chose. What the list area should say (a read that takes long, a folder
// that does not answer or cannot be read, a tree cut at its bound) comes as statusChanged.
//
// Where no change would be told (a folder that could not be read, a share, a watch lost when
// its file system went), the shown folder and the tree's root are looked at every kCheckMs by
// their stamp, in a reader, and read again when it changed: a USB stick put back, or a share
// that reconnects, shows again by itself. A folder that could not be read is read whole instead
// (its permissions given back change no stamp), and shown again only when the answer differs.
class RomFolderReader : public QObject
{
    Q_OBJECT

public:
    static constexpr int kReadingNoticeMs = 300;
    static constexpr int kNotAnsweringMs = 5000;
    static constexpr int kCheckMs = 3000;

    explicit RomFolderReader(QObject *parent = nullptr);
    ~RomFolderReader() override;

    // A system selected: the tree and list of romRoot (read once for both), and the watch of
    // pictureFolders (those not empty).
    void readSystem(const std::string &romRoot, const marlit::RomSearch &search,
                    const std::vector<std::string> &pictureFolders);
    // A folder selected, or the search changed: the list of folder.
    void readList(const std::string &folder, const marlit::RomSearch &search);
    // "All Games": the game files of the ROM directory and all its sub-folders in one list, each
    // named by its path below the directory.
    void readAll(const marlit::RomSearch &search);
    bool readsAll() const { return m_listAll; }
    // The patterns of the shown system's game files (none: every file), for the reads from now on.
    void setFileTypes(std::vector<std::string> fileTypes) { m_fileTypes = std::move(fileTypes); }
    // Reads the shown list again as it was last asked for, keeping it shown meanwhile.
    void readListAgain() { refreshList(); }
    const std::vector<std::string> &fileTypes() const { return m_fileTypes; }
    // The files that the sheet or list at path, in the list read last, names and its folder
    // does not hold.
    std::vector<std::string> missingPartsOf(const std::string &path) const;
    // The list shows something else (a view of the play history): no list is read or watched
    // any more, and nothing is said of one; the tree and the pictures are still followed.
    void dropList();
    // Nothing to show: every pending read is dropped and nothing is watched; the list area
    // says why (nothing when why is empty).
    void stop(const std::string &why = {});

    // Reads the shown list again, delivered as a refresh (the window orders it anew).
    void refreshList();

    // Whether a read that the window waits for is under way.
    bool reading() const { return m_treeId != 0 || m_listId != 0 || m_pictureWatchId != 0; }
    // Handles events until no read is under way; false after timeoutMs (tests, benchmarks).
    bool waitForIdle(int timeoutMs = 30000);

    FolderReaderPool &pool() { return *m_pool; }

signals:
    // The tree of the ROM directory (answer->listing.tree; its error says why the directory
    // could not be read); refresh tells a re-read after a change from a read the user asked for.
    void treeRead(const std::shared_ptr<FolderAnswer> &answer, bool refresh);
    // The list of the folder (answer->listing.names, which the receiver may take).
    void listRead(const std::shared_ptr<FolderAnswer> &answer, bool refresh);
    // What the ROM list area says; empty when it says nothing.
    void statusChanged(const QString &text);
    // A picture came, went or was rewritten in a watched snapshot folder.
    void picturesChanged();

private:
    void onAnswered(const std::shared_ptr<FolderAnswer> &answer);
    void onProgress(quint64 id, quint64 namesSoFar);
    // Starts watching with the answer's descriptor in slot; a change the watch reports and
    // matters (wanted) brings schedule's timer forward.
    void watch(std::unique_ptr<FolderWatch> &slot, const std::shared_ptr<FolderAnswer> &answer,
               marlit::RefreshSchedule &schedule, QTimer &timer, bool foldersMatter, bool &checkOnLoss);
    // Notes what an answer of the list (the tree) tells of its folder for the checks.
    void noteFolder(const marlit::FolderListing &listing, std::optional<marlit::FileStamp> &stamp, bool &check);
    void checkFolders();
    void noteChange(marlit::RefreshSchedule &schedule, QTimer &timer);
    void refreshTree();
    void readFailedTreeAgain();
    // A read of the shown folder's list, as it was last asked for, with a watch.
    marlit::FolderRequest listRequest() const;
    // Sends it in place of the list's request under way; refresh keeps the shown list meanwhile.
    void sendList(bool refresh);
    void startListStatus();
    void setListStatus(std::string text);
    void emitStatus();
    void drop(quint64 &id);

    FolderReaderPool *m_pool = nullptr;

    // What is shown, as it was last asked for.
    std::string m_root;
    std::string m_folder;
    marlit::RomSearch m_search;
    std::vector<std::string> m_fileTypes;
    bool m_listAll = false;
    std::string m_missingFolder; // the folder of the list read last, where m_missingParts are
    marlit::MissingParts m_missingParts;

    quint64 m_treeId = 0; // the answers wanted; 0 when none is
    quint64 m_listId = 0;
    quint64 m_pictureWatchId = 0;
    quint64 m_sheetsPendingId = 0; // the list shown before its sheets were read
    quint64 m_treePendingId = 0;   // the tree shown before its folders were watched
    bool m_treeRefresh = false;
    bool m_listRefresh = false;
    bool m_listHeld = false; // the list's read waits for an earlier read of its folder

    // The stamps of the folders as last read, and whether they are looked at every kCheckMs.
    std::optional<marlit::FileStamp> m_listStamp;
    std::optional<marlit::FileStamp> m_treeStamp;
    bool m_checkList = false;
    bool m_checkTree = false;
    bool m_listRefused = false; // the system refused to watch the shown folder
    // Why the list (the tree) could not be read last time; 0 when it was. A folder's stamp does
    // not tell its permissions: one that failed is checked by a whole read, and chosen again,
    // its tree is read again too.
    int m_listError = 0;
    int m_treeError = 0;
    QTimer m_checkTimer;

    std::unique_ptr<FolderWatch> m_treeWatch;
    std::unique_ptr<FolderWatch> m_listWatch;
    std::unique_ptr<FolderWatch> m_pictureWatch;
    marlit::RefreshSchedule m_treeSchedule;
    marlit::RefreshSchedule m_listSchedule;
    marlit::RefreshSchedule m_pictureSchedule;
    QTimer m_treeTimer;
    QTimer m_listTimer;
    QTimer m_pictureTimer;
    QElapsedTimer m_clock;

    std::string m_listStatus;
    bool m_treeCut = false;
    bool m_sayingTreeReading = false;
    quint64 m_namesSoFar = 0;
    bool m_sayingReading = false;
    QTimer m_readingTimer;
    QTimer m_answerTimer;
    QTimer m_treeReadingTimer;
    QString m_shownStatus;
};
