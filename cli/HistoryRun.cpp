#include "cli/HistoryRun.h"

#include "model/LinkList.h"

#include <QFileInfo>

RecordedCheck CheckOfLink(const rMonitorInfo& link)
{
    RecordedCheck check;
    check.at = link.LastCheck;
    check.verdict = link.Status;
    check.details = link.Details.get();
    return check;
}

HistoryRun::HistoryRun(const QString& path, bool record, ProblemHandler onProblem, HistoryOptions options)
    : m_onProblem(std::move(onProblem)), m_record(record)
{
    if (!record && !QFileInfo::exists(path))
        return;
    // A run told not to record leaves the file exactly as it is, whatever it holds.
    options.readOnly = !record;
    m_store = std::make_unique<HistoryStore>(
        path, [this](const QString& text) { reportOnce(text); }, options);
    if (m_store->isReadable())
        m_previous = m_store->latestChecks();
}

HistoryRun::~HistoryRun()
{
    unwatch();
    if (m_closing.joinable())
        m_closing.join();
}

void HistoryRun::reportOnce(const QString& text)
{
    // The store may meet trouble again (a damaged file set aside, then the new one failing): the
    // person reading standard error needs to hear only that the history is not being kept.
    if (!m_reported.exchange(true) && m_onProblem)
        m_onProblem(text);
}

void HistoryRun::restore(LinkList& links)
{
    if (m_previous.isEmpty())
        return;
    const std::vector<LinkRecord> records = links.records();
    std::vector<std::pair<LinkKey, double>> madeAfter;
    LinkList::Update update(links);
    for (const LinkRecord& record : records) {
        const LinkKey key{record->SiteId, record->PageUrl};
        const HistoryEntry* entry = m_previous.find(key);
        if (!entry)
            continue;
        rMonitorInfo restored = *record;
        switch (RestoreFromEntry(restored, *entry)) {
        case Restored::Taken:
            links.setVerdict(*record, restored.Status, restored.LastCheck, restored.Details.get(), restored.Changes);
            break;
        case Restored::OfEarlierLink: madeAfter.emplace_back(key, entry->check.at); break;
        case Restored::Passed: break;
        }
    }
    // What the history holds under the key of a link made after it belonged to a link deleted
    // before: it goes, as it would have in the window.
    if (m_store && m_record) {
        for (const LinkKey& key : KeysOfEarlierLinks(records, madeAfter)) {
            m_store->forget(key);
            m_forgotten.insert(key);
        }
    }
}

void HistoryRun::watch(LinkList& links)
{
    m_links = &links;
    links.setObserver(this);
}

void HistoryRun::unwatch()
{
    if (m_links)
        m_links->setObserver(nullptr);
    m_links = nullptr;
}

void HistoryRun::flush()
{
    if (m_store && m_record)
        m_store->flush();
}

void HistoryRun::finish()
{
    unwatch();
    if (m_store && !m_closing.joinable())
        m_closing = std::thread([store = std::move(m_store)]() mutable { store.reset(); });
}

HistoryChanges HistoryRun::changesOf(const rMonitorInfo& link) const
{
    return m_changes.value(&link, 0);
}

void HistoryRun::rowChanged(int visibleRow)
{
    const LinkRecord link = m_links->visibleRecordHandle(visibleRow);
    if (!link || (link->Status != lsFound && link->Status != lsNotFound && link->Status != lsConnectionError))
        return;
    const auto seen = m_seen.constFind(link.get());
    if (seen != m_seen.cend() && *seen == link->LastCheck)
        return;
    m_seen.insert(link.get(), link->LastCheck);

    // A check from before the link was made was another link's.
    const HistoryEntry* previous = m_previous.find(LinkKey{link->SiteId, link->PageUrl});
    const HistoryChanges changes =
        previous && !MadeAfter(*link, previous->check.at) ? ChangesBetween(previous->check, CheckOfLink(*link)) : 0;
    m_changes.insert(link.get(), changes);
    if (changes & ChangeLost)
        m_lost.push_back(link);
}

void HistoryRun::recordCheck(const LinkKey& key, const RecordedCheck& check)
{
    // The link's latest check as read at the start: the first fetch of a confirmed loss goes after
    // it; the second, which comes after the first, the store finds on its own. A history this run
    // forgot has none.
    if (m_store && m_record)
        m_store->record(key, check, m_forgotten.contains(key) ? std::nullopt : m_previous.previousCheck(key));
}
