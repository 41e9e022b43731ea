#pragma once

#include <optional>
#include <span>

class SqliteDb;

// The tables of the history file, and how a file written by an earlier version is brought up to
// date. The file's version is its `user_version`; its `application_id` marks it as ours.
//
// links: one row per link that has history, found by (site_id, page_url). It holds the latest check
//   in full (when, verdict, what changed, and every field of its details in one value), so that
//   start-up reads one table in one pass.
// checks: one row per check, clustered by (bucket, link, n), n counting a link's checks from 1 and
//   bucket = (n - 1) / 8, so that a run over every link writes a small part of the file. Numbers are
//   always there; a text is NULL when it equals the same text of the link's next newer check, so a
//   check where nothing changed costs a few dozen bytes. The newest check's texts are in links.
//   The tries of a fetch that was tried again are each row's own, NULL when one try settled it.

inline constexpr int HistoryApplicationId = 0x51527648;

// One step: run in the write transaction that takes the file from version `toVersion - 1`.
struct SchemaStep {
    int toVersion;
    const char* sql;
};

// The steps from an empty file (version 0) to the newest version, in order.
std::span<const SchemaStep> HistorySchemaSteps();

enum class SchemaState {
    Ready,    // at the newest version the steps know, created or brought up to date if needed
    Newer,    // written by a newer program: left exactly as it is
    Foreign,  // not a history file of ours, or one whose tables were changed by hand
};

// Reads the file's version and brings it to the last step's version in one write transaction, so
// that another process opening it at the same moment waits and then finds it done. Throws
// SqliteError when the file cannot be read or written (SQLITE_NOTADB for a file that is not a
// database at all).
SchemaState PrepareSchema(SqliteDb& db, std::span<const SchemaStep> steps);
// The file's state as it is, without changing it: nothing when it is empty or of an older version
// that PrepareSchema would bring up to date. Throws SqliteError as PrepareSchema does.
std::optional<SchemaState> SchemaStateOf(SqliteDb& db, std::span<const SchemaStep> steps);
