#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FolderReaderPool;
class FolderWatch;
struct FolderAnswer;

// Tells which of a list of ROM files are still on disk, for lists gathered from several folders
// (the play history's views). The files are looked at by a folder reader process, so a share
// that does not answer holds up that reader only, never the window or its closing; their
// folders are watched, and a file that comes or goes there makes the check again once the
// changes pause. Only the newest check's answer is delivered.
class RomPresenceCheck : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRecheckDelayMs = 150;

    explicit RomPresenceCheck(FolderReaderPool &pool, QObject *parent = nullptr);
    ~RomPresenceCheck() override;

    // Checks paths (absolute) and watches their folders; the check before is dropped.
    void check(std::vector<std::string> paths);
    // Nothing is checked or watched any more.
    void stop();
    bool checking() const { return m_id != 0; }

signals:
    // One byte per path of the check, in its order: 1 when the file is there or cannot be told.
    void checked(const std::vector<std::uint8_t> &present);

private:
    void send();
    void onAnswered(const std::shared_ptr<FolderAnswer> &answer);

    FolderReaderPool &m_pool;
    std::vector<std::string> m_paths;
    quint64 m_id = 0;
    std::unique_ptr<FolderWatch> m_watch;
    QTimer m_recheck;
};
