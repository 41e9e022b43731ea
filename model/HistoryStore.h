#pragma once

#include "model/CheckHistory.h"
#include "model/HistorySchema.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

class HistoryWriter;
class SqliteDb;
class SqliteError;

struct HistoryOptions {
    // How long a call waits for another process (the window, quorvane-check) that holds the file's
    // lock before the history gives up.
    int busyTimeoutMs = 5000;
    // How long a finished check may wait in memory so that several go to disk in one commit.
    int commitDelayMs = 100;
    // Whether the writer runs SQLite's quick check of the whole file before its first commit (which
    // then waits for it: about a second of CPU for a file of 3,000,000 checks).
    bool verifyOnOpen = true;
    // Only reads: no writer, and the file is never changed (not brought up to date, not set aside
    // when damaged); a file of an older version gives nothing.
    bool readOnly = false;
    // The schema steps; tests put others here.
    std::span<const SchemaStep> schema = HistorySchemaSteps();
};

// The check history: every finished check of every link, in one SQLite file beside the data files
// ("History.db"), which the window and quorvane-check may both write at the same time.
//
// Threads. record(), forget(), rename() and flush() may be called from any thread; the first three
// only queue the change and never wait for the disk. A writer thread of the store's own commits what
// is queued at most commitDelayMs after it was queued, many changes in one transaction. The reads
// (latestChecks(), history(), summary()) wait for the disk and may be called from any thread, one at
// a time; they see what has been committed, so a check recorded a moment ago may not be among them
// yet (flush() first when it must be). The store may be destroyed on another thread than the one
// that made it, once no other call can run.
//
// Failures never reach the caller as exceptions and never stop anything but the history. When the
// file cannot be opened or written (locked beyond the busy time-out, a full disk, a read-only file or
// folder, written by a newer version), the store switches itself off: it drops what is queued and
// whatever is recorded later, and reports the failure once. A damaged file (not a database, damage
// found when opening it, reading or writing) is renamed to "History.db.damaged-<date and time>"
// beside it, never deleted and never overwritten, and a new, empty history takes its place; that too
// is reported once. A second damaged file in one session switches the store off instead. Each
// report is a sentence a person understands, given to the problem handler on the thread that met it
// (the constructor's or the writer's) and kept for problem(). The handler must not call the store.
//
// How the program uses it:
// - Start-up: open the store, then read latestChecks() (on a thread of its own while Items.txt
//   loads, if it likes) before any check starts. A link takes the verdict and details of its entry
//   only when RestoredLastCheck(link's LastCheck, entry's time) gives a value, and takes that value
//   as its LastCheck; a stale entry is passed over. The entry's changes are the link's "what changed".
// - A finished check: record() it under the link's key with the same clock reading that becomes the
//   link's LastCheck. ChangesBetween(the link's previous verdict and details, the new ones) gives what
//   changed at once, without waiting for the store. A confirming second fetch is recorded with
//   `confirmation` set, after the first.
// - Deleting a link, or editing its page address or website (which makes it another link): forget()
//   the old key, unless another row has it. A check under way meanwhile records nothing.
// - quorvane-check: read latestChecks() before checking and give each link its entry by the same
//   rule (so that a loss is confirmed), record every result with the link's entry handed back
//   (LatestChecks::previousCheck()), and commit before it exits (flush(), or destroying the store,
//   which may run beside the rest of the exit); print problem() on standard error when one came. It
//   leaves the quick check of the whole file (verifyOnOpen) to the window, to stay light, and, told
//   not to record, opens the store readOnly.
class HistoryStore : public CheckRecorder {
public:
    static constexpr char FileName[] = "History.db";
    using ProblemHandler = std::function<void(const QString& text)>;
    using CommitHandler = std::function<void()>;

    // Opens the file at `path`, creating it when missing and bringing an older one up to date. Does
    // not throw; a problem is reported before this returns. `onCommitted` runs on the writer thread
    // after every commit (for a view that shows history to refresh itself).
    explicit HistoryStore(const QString& path, ProblemHandler onProblem = {}, HistoryOptions options = {},
                          CommitHandler onCommitted = {});
    // Commits what is queued (waiting at most the busy time-out for a lock) and stops the writer.
    ~HistoryStore() override;
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    const QString& path() const { return m_path; }
    // Whether checks are still being recorded; false once the store has switched itself off.
    bool isRecording() const;
    // Whether the reads can give anything; a read-only file can still be read.
    bool isReadable() const;
    // The last problem reported, empty when there was none.
    QString problem() const;

    // Queues a finished check of the link. A check without a valid time or a verdict other than
    // found, not found or connection error is not recorded, nor is anything about a link whose page
    // address is longer than MaxStoredText.
    // `previous`, when given, is the link's latest check as latestChecks() gave it: with it the
    // writer need not look the link up while the file still holds that check as the link's latest.
    // When the file no longer holds the link at all, its history was forgotten since (the link was
    // deleted) and the check is not recorded.
    void record(const LinkKey& key, const RecordedCheck& check, std::optional<PreviousCheck> previous = std::nullopt);
    void recordCheck(const LinkKey& key, const RecordedCheck& check) override { record(key, check); }
    // Deletes the link's history.
    void forget(const LinkKey& key);
    // Moves the link's history to a new key. When the new key already has a history, that one stays
    // and the old key's is deleted: both rows now share the new key's.
    void rename(const LinkKey& from, const LinkKey& to);
    // Waits until everything queued before the call is committed or dropped. True when committed.
    bool flush();

    // The latest check of every link that has one, with what changed at it. The checks come without
    // their confirmation mark. Meant for start-up, before any check runs; 100,000 links take a
    // fraction of what loading Items.txt takes, and it may run on another thread meanwhile.
    LatestChecks latestChecks();
    // The link's checks, newest first, at most `limit` of them.
    std::vector<HistoryEntry> history(const LinkKey& key, int limit = 1000);
    HistorySummary summary(const LinkKey& key);

private:
    enum class Trouble { Damaged, Newer, Locked, Full, ReadOnly, Other };

    void open();
    void openForReading();
    SqliteDb openWriter();
    void startWriter(SqliteDb db);
    SqliteDb replaceDamaged(const SqliteError& error);
    bool setAside(QString* asideName, QString* reason);
    void switchOff(Trouble trouble, const QString& detail);
    void report(const QString& text);
    static Trouble classify(const SqliteError& error);
    template <typename Result, typename Read>
    Result read(Read&& readFile);

    const QString m_path;
    const HistoryOptions m_options;
    const ProblemHandler m_onProblem;
    const CommitHandler m_onCommitted;

    mutable std::mutex m_readMutex;  // guards m_reader, which SQLite lets one thread use at a time
    std::unique_ptr<SqliteDb> m_reader;
    std::unique_ptr<HistoryWriter> m_writer;
    std::atomic<bool> m_recording{false};
    std::atomic<bool> m_readable{false};

    mutable std::mutex m_problemMutex;
    QString m_problem;
    bool m_switchedOff = false;
    bool m_replaced = false;  // the constructor's thread, then the writer's
};
