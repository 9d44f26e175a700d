#pragma once

#include "core/fs/FileStamp.h"

#include <QObject>

#include <optional>
#include <string>

class QFileSystemWatcher;
class QTimer;

// Follows the catalogue file the window shows, so that a change another program makes to it is
// seen. The file is watched for writes in place and its folder for replaces by rename, removals
// and new files; the file's watch is set again whenever another file has come under its name.
// A burst of notices is looked at once, when it has settled, by the file's stamp: Marlit's own
// writes end in the stamp the window reads back, so their notices change nothing. While a modal
// dialog or a menu is open the look waits, so that no catalogue changes under a command the user
// is giving.
class CatalogueWatch : public QObject
{
    Q_OBJECT

public:
    // How long a burst of notices must be quiet before the file is looked at, and how often a
    // look that waits for a dialog to close tries again.
    static constexpr int kSettleMs = 100;
    static constexpr int kRetryMs = 250;

    explicit CatalogueWatch(QObject *parent = nullptr);
    ~CatalogueWatch() override;

    // From now on follows path, as read in the state stamp (none: there was no file).
    void follow(const std::string &path, const std::optional<marlit::FileStamp> &stamp);

signals:
    // The file is no longer in the state last given to follow().
    void changedOnDisk();
    // The file was looked at after a notice, whether it had changed or not.
    void looked();

private:
    void look();
    // Watches the file now under the path, given its stamp, unless it is watched already.
    void watchFile(const std::optional<marlit::FileStamp> &now);

    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_settle = nullptr;
    std::string m_path;
    std::optional<marlit::FileStamp> m_stamp;
    std::optional<marlit::FileStamp> m_watchedFile; // which file the file's watch is on
};
