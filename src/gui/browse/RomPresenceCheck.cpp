#include "gui/browse/RomPresenceCheck.h"

#include "gui/browse/FolderReaderPool.h"
#include "gui/browse/FolderWatch.h"

RomPresenceCheck::RomPresenceCheck(FolderReaderPool &pool, QObject *parent) : QObject(parent), m_pool(pool)
{
    connect(&m_pool, &FolderReaderPool::answered, this, &RomPresenceCheck::onAnswered);
    m_recheck.setSingleShot(true);
    connect(&m_recheck, &QTimer::timeout, this, &RomPresenceCheck::send);
}

RomPresenceCheck::~RomPresenceCheck() = default;

void RomPresenceCheck::check(std::vector<std::string> paths)
{
    stop();
    m_paths = std::move(paths);
    if (!m_paths.empty())
        send();
}

void RomPresenceCheck::stop()
{
    if (m_id != 0)
        m_pool.abandon(m_id);
    m_id = 0;
    m_watch.reset();
    m_recheck.stop();
}

void RomPresenceCheck::send()
{
    // The old watch goes with its check: the new one is made before the files are looked at.
    if (m_id != 0)
        m_pool.abandon(m_id);
    m_watch.reset();
    marlit::FolderRequest request;
    request.checkPaths = m_paths;
    request.watch = true;
    m_id = m_pool.send(std::move(request));
}

void RomPresenceCheck::onAnswered(const std::shared_ptr<FolderAnswer> &answer)
{
    const marlit::FolderListing &listing = answer->listing;
    if (!listing.hasCheck || listing.id != m_id)
        return;
    m_id = 0;
    if (answer->watch.valid()) {
        m_watch = std::make_unique<FolderWatch>(std::move(answer->watch));
        connect(m_watch.get(), &FolderWatch::changed, this, [this](const marlit::WatchEvents::Summary &summary) {
            if (summary.files || summary.lost)
                m_recheck.start(kRecheckDelayMs);
        });
    }
    // A check that failed as a whole (its reader died) says nothing is gone.
    std::vector<std::uint8_t> present = listing.present;
    present.resize(m_paths.size(), 1);
    emit checked(present);
}
