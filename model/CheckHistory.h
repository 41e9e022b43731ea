#pragma once

#include "model/CheckDetails.h"
#include "model/Records.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

// The values the check history keeps and gives back, and the rules that read them. Plain values,
// safe to copy between threads.

// A link's history belongs to its website Id and its page address, byte for byte as Items.txt holds
// it. Two rows of the list with the same key share one history.
struct LinkKey {
    std::int32_t siteId = 0;
    QByteArray pageUrl;

    bool operator==(const LinkKey&) const = default;
};
size_t qHash(const LinkKey& key, size_t seed = 0) noexcept;

// One finished check, as the worker reports it.
struct RecordedCheck {
    // When it finished: the day count LastCheck takes (days since 30 December 1899, local time).
    // The history keeps it to the millisecond.
    double at = 0;
    LinkStatus verdict = lsUnchecked;  // lsFound, lsNotFound or lsConnectionError
    CheckDetails details;
    // A second fetch made to confirm a loss the first one reported. Its changes are measured against
    // the check before the one it confirms, so that a confirmed loss still reads "lost".
    bool confirmation = false;

    bool operator==(const RecordedCheck&) const = default;
};

// What changed at a check, compared with the check before it (for a confirmation: the check before
// the one it confirms). Several may hold at once.
enum HistoryChange : std::uint16_t {
    ChangeLost = 1 << 0,         // "lost": found before, not found or a connection error now
    ChangeBack = 1 << 1,         // "back": found again after not found or a connection error
    ChangeNowNotFound = 1 << 2,  // "now not found": fetched again, after a connection error
    ChangeNowFailing = 1 << 3,   // "now failing": a connection error, after not found
    ChangeNowFollowed = 1 << 4,  // "now followed" and the three below: the link kind, when both pages were analysed
    ChangeNowNofollow = 1 << 5,
    ChangeNowMention = 1 << 6,
    ChangeNowNoLink = 1 << 7,
    ChangeMoved = 1 << 8,        // "moved": the final address after redirects differs
    ChangeAnchorText = 1 << 9,   // "anchor text changed": both pages link to the website
    ChangeNowBlocked = 1 << 10,  // bot protection or a rate limit answered, where the page did before
};
using HistoryChanges = std::uint16_t;
inline constexpr HistoryChanges AllHistoryChanges = (1 << 11) - 1;

// The names, in the order above, joined by ", ": "lost, now no link". Empty when nothing changed.
QString ChangeText(HistoryChanges changes);

// What ChangesBetween compares of a check. The views point into the check's details, or into the
// stored bytes they were read from, and last only as long as those.
struct ChangeFacts {
    LinkStatus verdict = lsUnchecked;
    LinkKind kind = LinkKind::Unknown;
    QByteArrayView anchorText;
    QByteArrayView finalUrl;
    bool blocked = false;
    bool ran = false;  // there are details at all

    static ChangeFacts of(const RecordedCheck& check);
};

// What changed from `before` to `after`. Only the verdict, the link kind, the anchor text, the final
// address and blocking count: times, sizes and page texts change at every check.
HistoryChanges ChangesBetween(const ChangeFacts& before, const ChangeFacts& after);
HistoryChanges ChangesBetween(const RecordedCheck& before, const RecordedCheck& after);

// A recorded check with what changed at it.
struct HistoryEntry {
    RecordedCheck check;
    HistoryChanges changes = 0;

    bool operator==(const HistoryEntry&) const = default;
};

// Where the history file held a link's latest check when it was read: the link's row, the check's
// number and its time in milliseconds. All 0 when not known.
struct StoredPlace {
    qint64 link = 0;
    qint64 n = 0;
    qint64 atMs = 0;
};

// A link's latest check as a read of the history found it, handed back with the link's next check
// so that recording that one need not look the link up again. The history relies on it only while
// the file still holds this check as the link's latest, and otherwise looks the link up.
struct PreviousCheck {
    RecordedCheck check;
    StoredPlace place;
};

// The latest recorded check of every link that has one, found by key. Built once, then only read,
// so it may be built on one thread and read on another.
class LatestChecks {
public:
    using Entry = std::pair<LinkKey, HistoryEntry>;

    void reserve(qsizetype count);
    // A key given twice keeps its first entry.
    void add(LinkKey key, HistoryEntry entry, StoredPlace place = {});

    const HistoryEntry* find(const LinkKey& key) const;
    // The entry, or an empty one (no time, verdict lsUnchecked) when the key has none.
    HistoryEntry value(const LinkKey& key) const;
    qsizetype size() const { return qsizetype(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    // In the order the history holds them.
    const std::vector<Entry>& entries() const { return m_entries; }
    // The key's entry with where the file held it, to record the link's next check after it.
    std::optional<PreviousCheck> previousCheck(const LinkKey& key) const;

private:
    std::optional<std::size_t> positionOf(const LinkKey& key) const;

    std::vector<Entry> m_entries;
    std::vector<StoredPlace> m_places;  // beside m_entries
    QHash<LinkKey, qsizetype> m_index;
};

// The restore rule. A recorded check stands for a link when it finished at or after the link's
// stored LastCheck, compared to the whole second as Items.txt keeps it. Gives the LastCheck the link
// then takes (the check's time when it is newer, the stored one otherwise), or nothing when the
// check is stale.
std::optional<double> RestoredLastCheck(double storedLastCheck, double checkedAt);
// The rule applied to one link. Taken: the entry's verdict, details, changes and (when newer) time
// are the link's now. Passed: the entry is stale, or no verdict. OfEarlierLink: the link was made
// after the check (see MadeAfter), which is never taken.
enum class Restored { Taken, Passed, OfEarlierLink };
Restored RestoreFromEntry(rMonitorInfo& link, const HistoryEntry& entry);
// Whether the link was made after a check at `checkedAt`, to the whole second: such a check was of
// an earlier link with the same website and page address, deleted since.
bool MadeAfter(const rMonitorInfo& link, double checkedAt);
// Of `candidates` (keys whose latest check some link was made after, with that check's time), the
// keys whose every link in `records` was made after it: what the history holds under them belongs to
// earlier links only.
std::vector<LinkKey> KeysOfEarlierLinks(std::span<const LinkRecord> records,
                                        const std::vector<std::pair<LinkKey, double>>& candidates);

// Where the checks of a walk are recorded, each as its outcome reaches the UI thread; a confirmed
// loss comes as two checks, its first fetch before the second.
class CheckRecorder {
public:
    virtual ~CheckRecorder() = default;
    virtual void recordCheck(const LinkKey& key, const RecordedCheck& check) = 0;
};

// Times in the history of one link; 0 means none.
struct HistorySummary {
    double firstChecked = 0;
    double foundSince = 0;  // the first check of the current run of "found", when the latest is found
    // The first check after the link was last found, when the latest is not found or a connection error
    // and the link was found at some time before.
    double lostSince = 0;
    qint64 checkCount = 0;

    bool operator==(const HistorySummary&) const = default;
};
