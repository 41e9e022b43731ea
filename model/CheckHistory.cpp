#include "model/CheckHistory.h"

#include "model/HistoryCodec.h"

#include <QHashFunctions>

size_t qHash(const LinkKey& key, size_t seed) noexcept
{
    return qHashMulti(seed, key.siteId, key.pageUrl);
}

void LatestChecks::reserve(qsizetype count)
{
    m_entries.reserve(std::size_t(count));
    m_places.reserve(std::size_t(count));
    m_index.reserve(count);
}

void LatestChecks::add(LinkKey key, HistoryEntry entry, StoredPlace place)
{
    // The index holds positions only, so that it stays small and quick to build.
    const qsizetype before = m_index.size();
    qsizetype& position = m_index[key];
    if (m_index.size() == before)
        return;
    position = qsizetype(m_entries.size());
    m_entries.emplace_back(std::move(key), std::move(entry));
    m_places.push_back(place);
}

std::optional<std::size_t> LatestChecks::positionOf(const LinkKey& key) const
{
    const auto found = m_index.constFind(key);
    return found == m_index.cend() ? std::nullopt : std::optional<std::size_t>(std::size_t(*found));
}

const HistoryEntry* LatestChecks::find(const LinkKey& key) const
{
    const std::optional<std::size_t> position = positionOf(key);
    return position ? &m_entries[*position].second : nullptr;
}

std::optional<PreviousCheck> LatestChecks::previousCheck(const LinkKey& key) const
{
    const std::optional<std::size_t> position = positionOf(key);
    if (!position)
        return std::nullopt;
    return PreviousCheck{m_entries[*position].second.check, m_places[*position]};
}

HistoryEntry LatestChecks::value(const LinkKey& key) const
{
    const HistoryEntry* entry = find(key);
    return entry ? *entry : HistoryEntry();
}

QString ChangeText(HistoryChanges changes)
{
    static const char* const names[] = {
        "lost",        "back",        "now not found", "now failing",         "now followed", "now nofollow",
        "now mention", "now no link", "moved",         "anchor text changed", "now blocked",
    };
    QString text;
    for (std::size_t i = 0; i < std::size(names); ++i) {
        if (!(changes & (1u << i)))
            continue;
        if (!text.isEmpty())
            text += QStringLiteral(", ");
        text += QLatin1StringView(names[i]);
    }
    return text;
}

namespace {

bool HasShownLink(LinkKind kind)
{
    return kind == LinkKind::Followed || kind == LinkKind::Nofollow;
}

HistoryChanges KindChange(LinkKind kind)
{
    switch (kind) {
    case LinkKind::Followed: return ChangeNowFollowed;
    case LinkKind::Nofollow: return ChangeNowNofollow;
    case LinkKind::Mention: return ChangeNowMention;
    case LinkKind::None: return ChangeNowNoLink;
    case LinkKind::Unknown: break;
    }
    return 0;
}

}  // namespace

ChangeFacts ChangeFacts::of(const RecordedCheck& check)
{
    const CheckDetails& details = check.details;
    return {check.verdict,      details.linkKind(), details.anchorText(),
            details.finalUrl(), details.blocked(),  !details.isNull()};
}

HistoryChanges ChangesBetween(const ChangeFacts& before, const ChangeFacts& after)
{
    HistoryChanges changes = 0;
    const LinkStatus was = before.verdict;
    const LinkStatus now = after.verdict;
    if (was == lsFound && (now == lsNotFound || now == lsConnectionError))
        changes |= ChangeLost;
    else if ((was == lsNotFound || was == lsConnectionError) && now == lsFound)
        changes |= ChangeBack;
    else if (was == lsConnectionError && now == lsNotFound)
        changes |= ChangeNowNotFound;
    else if (was == lsNotFound && now == lsConnectionError)
        changes |= ChangeNowFailing;

    // A page that was not analysed says nothing about the link; the verdict covers it.
    if (before.kind != LinkKind::Unknown && after.kind != LinkKind::Unknown && before.kind != after.kind)
        changes |= KindChange(after.kind);
    if (HasShownLink(before.kind) && HasShownLink(after.kind) && before.anchorText != after.anchorText)
        changes |= ChangeAnchorText;
    if (!before.finalUrl.isEmpty() && !after.finalUrl.isEmpty() && before.finalUrl != after.finalUrl)
        changes |= ChangeMoved;
    if (before.ran && !before.blocked && after.blocked)
        changes |= ChangeNowBlocked;
    return changes;
}

HistoryChanges ChangesBetween(const RecordedCheck& before, const RecordedCheck& after)
{
    return ChangesBetween(ChangeFacts::of(before), ChangeFacts::of(after));
}

namespace {

// The whole second a time in milliseconds falls in, earlier ones before it too.
qint64 WholeSecond(qint64 ms)
{
    return ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
}

}  // namespace

std::optional<double> RestoredLastCheck(double storedLastCheck, double checkedAt)
{
    const std::optional<qint64> checked = DayCountToMs(checkedAt);
    if (!checked || *checked <= 0)
        return std::nullopt;
    const qint64 stored = DayCountToMs(storedLastCheck).value_or(0);
    // Items.txt keeps whole seconds, so a check is as new as the stored time when it falls within
    // the same second.
    const qint64 checkedSecond = WholeSecond(*checked);
    const qint64 storedSecond = WholeSecond(stored);
    if (checkedSecond < storedSecond)
        return std::nullopt;
    return checkedSecond > storedSecond ? checkedAt : storedLastCheck;
}

bool MadeAfter(const rMonitorInfo& link, double checkedAt)
{
    const std::optional<qint64> created = DayCountToMs(link.Created);
    const std::optional<qint64> checked = DayCountToMs(checkedAt);
    if (!created || !checked || *created <= 0)
        return false;
    return WholeSecond(*checked) < WholeSecond(*created);
}

std::vector<LinkKey> KeysOfEarlierLinks(std::span<const LinkRecord> records,
                                        const std::vector<std::pair<LinkKey, double>>& candidates)
{
    if (candidates.empty())
        return {};
    QHash<LinkKey, double> earlier;
    for (const auto& [key, checkedAt] : candidates)
        earlier.insert(key, checkedAt);
    for (const LinkRecord& record : records) {
        const auto found = earlier.constFind(LinkKey{record->SiteId, record->PageUrl});
        if (found != earlier.cend() && !MadeAfter(*record, *found))
            earlier.erase(found);
    }
    return {earlier.keyBegin(), earlier.keyEnd()};
}

Restored RestoreFromEntry(rMonitorInfo& link, const HistoryEntry& entry)
{
    if (MadeAfter(link, entry.check.at))
        return Restored::OfEarlierLink;
    const LinkStatus verdict = entry.check.verdict;
    if (verdict != lsFound && verdict != lsNotFound && verdict != lsConnectionError)
        return Restored::Passed;
    const std::optional<double> lastCheck = RestoredLastCheck(link.LastCheck, entry.check.at);
    if (!lastCheck)
        return Restored::Passed;
    link.LastCheck = *lastCheck;
    link.Status = verdict;
    link.Details.set(entry.check.details);
    link.Changes = entry.changes;
    return Restored::Taken;
}
