#include "model/HistorySchema.h"

#include "model/SqliteDb.h"

#include <QByteArray>
#include <QSet>

namespace {

constexpr char Version1[] = R"sql(
CREATE TABLE links (
    id INTEGER PRIMARY KEY,
    site_id INTEGER NOT NULL,
    page_url BLOB NOT NULL,
    at INTEGER NOT NULL,       -- the latest check: milliseconds of the local day count
    verdict INTEGER NOT NULL,  -- 2 found, 3 not found, 4 connection error
    changes INTEGER NOT NULL,  -- what changed at it, a set of bits
    details BLOB NOT NULL      -- every field of its details
);
CREATE UNIQUE INDEX links_by_key ON links (site_id, page_url);
CREATE TABLE checks (
    link INTEGER NOT NULL,
    n INTEGER NOT NULL,
    at INTEGER NOT NULL,
    verdict INTEGER NOT NULL,
    changes INTEGER NOT NULL,
    http INTEGER NOT NULL,
    kind INTEGER NOT NULL,
    extent INTEGER NOT NULL,
    flags INTEGER NOT NULL,
    elapsed_ms INTEGER NOT NULL,
    bytes INTEGER NOT NULL,
    -- NULL: the same as in the link's next newer check
    failure BLOB,
    reason BLOB,
    final_url BLOB,
    redirects BLOB,
    content_type BLOB,
    href BLOB,
    rel BLOB,
    anchor_text BLOB,
    canonical BLOB,
    evidence BLOB,
    match_start INTEGER,
    match_length INTEGER,
    PRIMARY KEY (link, n)
) WITHOUT ROWID;
)sql";

// Every try of a fetch that was tried again, per check. Adding a column that may be NULL rewrites
// no row, so even a large file is brought up to date at once.
constexpr char Version2[] = R"sql(
ALTER TABLE checks ADD COLUMN attempts BLOB;  -- NULL: one try settled it
)sql";

// The number of each link's newest check, so that recording a check need not look it up. Rows from
// before say NULL and are looked up once, when their link is next checked.
constexpr char Version3[] = R"sql(
ALTER TABLE links ADD COLUMN newest INTEGER;
)sql";

// Checks clustered by (bucket, link, n), a bucket holding eight of a link's checks. Under (link, n)
// alone, a link's new check goes beside all its earlier ones, so that once a link has a page of
// history, a run over N links rewrites N pages, and the history grew costlier to keep with its
// age. Now a run writes only the region of each link's current bucket, which stays small. (The old
// rows come in order of link, so each bucket's are appended in the order of its key.)
constexpr char Version4[] = R"sql(
CREATE TABLE checks_by_bucket (
    bucket INTEGER NOT NULL,
    link INTEGER NOT NULL,
    n INTEGER NOT NULL,
    at INTEGER NOT NULL,
    verdict INTEGER NOT NULL,
    changes INTEGER NOT NULL,
    http INTEGER NOT NULL,
    kind INTEGER NOT NULL,
    extent INTEGER NOT NULL,
    flags INTEGER NOT NULL,
    elapsed_ms INTEGER NOT NULL,
    bytes INTEGER NOT NULL,
    failure BLOB,
    reason BLOB,
    final_url BLOB,
    redirects BLOB,
    content_type BLOB,
    href BLOB,
    rel BLOB,
    anchor_text BLOB,
    canonical BLOB,
    evidence BLOB,
    match_start INTEGER,
    match_length INTEGER,
    attempts BLOB,
    PRIMARY KEY (bucket, link, n),
    CHECK (bucket = (n - 1) / 8)
) WITHOUT ROWID;
INSERT INTO checks_by_bucket
    SELECT (n - 1) / 8, link, n, at, verdict, changes, http, kind, extent, flags, elapsed_ms, bytes, failure, reason,
           final_url, redirects, content_type, href, rel, anchor_text, canonical, evidence, match_start,
           match_length, attempts
    FROM checks;
DROP TABLE checks;
ALTER TABLE checks_by_bucket RENAME TO checks;
)sql";

constexpr SchemaStep Steps[] = {
    {1, Version1},
    {2, Version2},
    {3, Version3},
    {4, Version4},
};

struct TableColumns {
    const char* table;
    std::initializer_list<const char*> columns;
};

// What the program reads and writes; a table missing any of these was changed by hand.
const TableColumns Required[] = {
    {"links", {"id", "site_id", "page_url", "at", "verdict", "changes", "details", "newest"}},
    {"checks",
     {"bucket",       "link",  "n",          "at",          "verdict",   "changes",  "http",        "kind",
      "extent",       "flags", "elapsed_ms", "bytes",       "failure",   "reason",   "final_url",   "redirects",
      "content_type", "href",  "rel",        "anchor_text", "canonical", "evidence", "match_start", "match_length",
      "attempts"}},
};

bool HasRequiredColumns(SqliteDb& db)
{
    for (const TableColumns& required : Required) {
        SqliteStatement statement(db, "SELECT name FROM pragma_table_info(?1)");
        statement.bind(1, QByteArrayView(required.table));
        QSet<QByteArray> names;
        while (statement.step())
            names.insert(statement.blob(0).toByteArray());
        for (const char* column : required.columns) {
            if (!names.contains(QByteArray(column)))
                return false;
        }
    }
    return true;
}

void SetVersion(SqliteDb& db, int version)
{
    // PRAGMA takes no parameters; the number is ours.
    db.exec(QByteArray("PRAGMA user_version = " + QByteArray::number(version)).constData());
}

}  // namespace

std::span<const SchemaStep> HistorySchemaSteps()
{
    return Steps;
}

std::optional<SchemaState> SchemaStateOf(SqliteDb& db, std::span<const SchemaStep> steps)
{
    const int newest = steps.empty() ? 0 : steps.back().toVersion;
    const qint64 version = db.integer("PRAGMA user_version");
    const qint64 application = db.integer("PRAGMA application_id");
    if (version == 0) {
        // A database with tables but no version is someone else's.
        if (db.integer("SELECT count(*) FROM sqlite_schema") > 0)
            return SchemaState::Foreign;
        return std::nullopt;
    }
    if (application != HistoryApplicationId)
        return SchemaState::Foreign;
    if (version > newest)
        return SchemaState::Newer;
    if (version == newest)
        return HasRequiredColumns(db) ? SchemaState::Ready : SchemaState::Foreign;
    return std::nullopt;
}

SchemaState PrepareSchema(SqliteDb& db, std::span<const SchemaStep> steps)
{
    if (const std::optional<SchemaState> state = SchemaStateOf(db, steps))
        return *state;

    SqliteTransaction transaction(db, SqliteTransaction::Kind::Write);
    // Another process may have done it while this one waited for the lock.
    if (const std::optional<SchemaState> state = SchemaStateOf(db, steps))
        return *state;
    const qint64 version = db.integer("PRAGMA user_version");
    for (const SchemaStep& step : steps) {
        if (step.toVersion <= version)
            continue;
        db.exec(step.sql);
        SetVersion(db, step.toVersion);
    }
    db.exec(QByteArray("PRAGMA application_id = " + QByteArray::number(HistoryApplicationId)).constData());
    const bool complete = HasRequiredColumns(db);
    transaction.commit();
    return complete ? SchemaState::Ready : SchemaState::Foreign;
}
