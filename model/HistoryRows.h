#pragma once

#include "model/CheckDetails.h"
#include "model/CheckHistory.h"

#include <QByteArray>

#include "model/SqliteDb.h"

#include <array>
#include <limits>
#include <optional>

struct DetailsView;

// The texts of a check as the rows of `checks` hold them, in the order of their columns. Evidence
// goes with where the match lies in it: the three are stored, or left NULL, together.
struct CheckTexts {
    enum Field { Failure, Reason, FinalUrl, Redirects, ContentType, Href, Rel, AnchorText, Canonical, Evidence, Count };
    std::array<QByteArray, Count> values;
    int matchStart = 0;
    int matchLength = 0;

    static CheckTexts of(const CheckFacts& facts);
    static CheckTexts of(const DetailsView& details);
};

// The columns every read of a check row takes, in this order.
inline constexpr char CheckColumns[] =
    "n, at, verdict, changes, http, kind, extent, flags, elapsed_ms, bytes, failure, reason, final_url, redirects, "
    "content_type, href, rel, anchor_text, canonical, evidence, match_start, match_length, attempts";
inline constexpr int CheckTextColumn = 10;      // where `failure` is in CheckColumns
inline constexpr int CheckAttemptsColumn = 22;  // and where `attempts` is

// Reads one row taken with CheckColumns. `texts` holds the texts of the link's next newer check
// (for the newest row, those of the latest check in `links`) and becomes this row's. Gives the
// check, or nothing when the row has no valid time or verdict; `n` is its number either way. A row's
// tries are its own, never taken from another check: NULL means one try settled it.
std::optional<HistoryEntry> ReadCheckRow(const SqliteStatement& row, CheckTexts& texts, qint64* n = nullptr);

// Checks are clustered in buckets of eight consecutive numbers of one link: check n of a link is in
// bucket (n - 1) / 8, as the table's CHECK constraint holds it to. (The schema and the recorder's
// statements say 8 as well.)
inline constexpr qint64 CheckBucketSize = 8;

constexpr qint64 CheckBucketOf(qint64 n)
{
    return (n - 1) / CheckBucketSize;
}

// The buckets that hold checks, newest first, each found by one look-up of the table's key, so that
// one link's checks are read bucket by bucket without reading anyone else's.
class CheckBuckets {
public:
    static constexpr qint64 All = std::numeric_limits<qint64>::max();

    explicit CheckBuckets(SqliteDb& db);

    // Calls `each(bucket)` for every bucket at or below `from` that holds any check, newest first,
    // until it returns false.
    template <typename Each>
    void walk(qint64 from, Each each)
    {
        for (std::optional<qint64> bucket = atOrBelow(from); bucket && each(*bucket);) {
            if (*bucket == std::numeric_limits<qint64>::min())
                return;
            bucket = atOrBelow(*bucket - 1);
        }
    }

private:
    std::optional<qint64> atOrBelow(qint64 bucket);

    SqliteStatement m_next;
};
