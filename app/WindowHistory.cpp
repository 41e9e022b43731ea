#include "app/WindowHistory.h"

#include "model/HistoryStore.h"
#include "model/LinkList.h"

#include <QSet>

#include <span>
#include <utility>

namespace {

// Below this, a thread of its own costs more than the look-ups it takes over.
constexpr std::size_t ParallelRestoreFrom = 20000;

}  // namespace

WindowHistory::WindowHistory(std::function<void(const QString&)> warn, QObject* parent)
    : QObject(parent), m_warn(std::move(warn))
{
    connect(this, &WindowHistory::problemReported, this, &WindowHistory::showProblem, Qt::QueuedConnection);
}

WindowHistory::~WindowHistory()
{
    if (m_reading.valid())
        m_reading.wait();
    if (m_freeing.valid())
        m_freeing.wait();
    // Commits what is queued; the problem signal it may still send finds this object whole.
    m_store.reset();
}

QString WindowHistory::path() const
{
    return m_store ? m_store->path() : QString();
}

void WindowHistory::open(const QString& appDir)
{
    const QString path = appDir + QLatin1StringView(HistoryStore::FileName);
    if (m_reading.valid())
        m_reading.wait();
    if (!m_store || m_store->path() != path) {
        m_store.reset();
        const auto onCommitted = [this] {
            // Posted once until the UI thread has taken it, however often the writer commits.
            if (!m_commitPosted.exchange(true))
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        m_commitPosted = false;
                        Q_EMIT committed();
                    },
                    Qt::QueuedConnection);
        };
        m_store = std::make_unique<HistoryStore>(
            path, [this](const QString& text) { Q_EMIT problemReported(text); }, HistoryOptions(), onCommitted);
    } else {
        // Checks recorded a moment ago belong to what the next load restores.
        m_store->flush();
    }
    HistoryStore* store = m_store.get();
    m_reading = std::async(std::launch::async, [store] { return store->latestChecks(); });
}

void WindowHistory::restore(std::vector<LinkRecord>& records)
{
    if (!m_reading.valid())
        return;
    LatestChecks latest = m_reading.get();
    if (latest.isEmpty())
        return;
    // Each look-up misses the cache a few times, so with 100,000 links the matching is worth a
    // second core. The records are not in the list yet: nothing else reads them, and each belongs
    // to one half.
    using Candidates = std::vector<std::pair<LinkKey, double>>;
    const auto restoreRange = [&latest](std::span<const LinkRecord> range) {
        // Links made after their key's latest check: the history under it may be another's.
        Candidates madeAfter;
        for (const LinkRecord& record : range) {
            const LinkKey key{record->SiteId, record->PageUrl};
            if (const HistoryEntry* entry = latest.find(key)) {
                if (RestoreFromEntry(*record, *entry) == Restored::OfEarlierLink)
                    madeAfter.emplace_back(key, entry->check.at);
            }
        }
        return madeAfter;
    };
    const std::span<const LinkRecord> all(records);
    const std::size_t half = records.size() >= ParallelRestoreFrom ? records.size() / 2 : 0;
    std::future<Candidates> secondHalf;
    if (half > 0)
        secondHalf = std::async(std::launch::async, restoreRange, all.subspan(half));
    Candidates madeAfter = restoreRange(all.first(half > 0 ? half : all.size()));
    if (secondHalf.valid()) {
        const Candidates more = secondHalf.get();
        madeAfter.insert(madeAfter.end(), more.begin(), more.end());
    }
    // The history of a link deleted before the one that has its address now was made is not this
    // one's: it goes, so that neither the History tab nor what changed at its first check shows it.
    for (const LinkKey& key : KeysOfEarlierLinks(all, madeAfter))
        m_store->forget(key);
    // A hundred thousand entries take a while to free, and the window need not wait for it.
    if (m_freeing.valid())
        m_freeing.wait();
    m_freeing = std::async(std::launch::async, [gone = std::move(latest)]() mutable { gone = {}; });
}

void WindowHistory::forgetEarlierLinks(const std::vector<const rMonitorInfo*>& made, const LinkList& links)
{
    if (!m_store || made.empty())
        return;
    QSet<const rMonitorInfo*> fresh(made.begin(), made.end());
    QSet<LinkKey> keys;
    for (const rMonitorInfo* link : made)
        keys.insert(LinkKey{link->SiteId, link->PageUrl});
    links.forEachRow([&](const rMonitorInfo& row) {
        if (!keys.isEmpty() && !fresh.contains(&row))
            keys.remove(LinkKey{row.SiteId, row.PageUrl});
    });
    for (const LinkKey& key : keys)
        m_store->forget(key);
}

void WindowHistory::forget(const std::vector<LinkKey>& keys, const LinkList& links)
{
    if (!m_store || keys.empty())
        return;
    QSet<LinkKey> gone(keys.begin(), keys.end());
    links.forEachRow([&gone](const rMonitorInfo& row) {
        if (!gone.isEmpty())
            gone.remove(LinkKey{row.SiteId, row.PageUrl});
    });
    for (const LinkKey& key : gone)
        m_store->forget(key);
}

void WindowHistory::showProblem(const QString& text)
{
    if (m_warned)
        return;
    m_warned = true;
    if (m_warn)
        m_warn(text);
}
