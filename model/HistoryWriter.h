#pragma once

#include "model/HistoryRecorder.h"
#include "model/SqliteDb.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The thread that commits queued history changes in batches. It owns its connection; when the file
// turns out to be damaged it asks its owner for a connection to a new file, and when the file cannot
// be written it tells its owner and drops everything from then on.
class HistoryWriter {
public:
    struct Hooks {
        // The file is damaged: set it aside, start a new one, and give a connection to it, or a closed
        // connection when that failed or was done before (the owner has reported it).
        std::function<SqliteDb(const SqliteError&)> replaceDamaged;
        // The file cannot be written; the writer is off from now on.
        std::function<void(const SqliteError&)> failed;
        std::function<void()> committed;
    };

    HistoryWriter(SqliteDb db, std::chrono::milliseconds commitDelay, bool verify, Hooks hooks);
    // Commits what is queued, then stops the thread.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    // Never waits for the disk: the lock is held only to append.
    void push(HistoryOp op);
    // Waits until everything pushed before the call is committed or dropped; false once off.
    bool flush();
    // A reader found the file damaged; the writer sets it aside at its next turn.
    void requestReplace(const SqliteError& error);
    // Drops what is queued and whatever comes later.
    void switchOff();

private:
    void run();
    void verify();
    void write(const std::vector<HistoryOp>& batch);
    void fail(const SqliteError& error);
    bool replace(const SqliteError& error);

    // A batch this large is committed at once, before its delay is up. A run that ends waits for its
    // last batch, which a few hundred changes keep short; larger batches save little.
    static constexpr std::size_t MaxBatch = 500;

    SqliteDb m_db;
    std::unique_ptr<HistoryRecorder> m_recorder;
    // A new file was started after damage: the latest checks the callers read were the old one's.
    bool m_replacedFile = false;
    const std::chrono::milliseconds m_commitDelay;
    const bool m_verify;
    const Hooks m_hooks;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_progress;
    std::vector<HistoryOp> m_queue;
    std::chrono::steady_clock::time_point m_firstQueued;
    quint64 m_queued = 0;    // ops pushed so far
    quint64 m_finished = 0;  // ops committed or dropped so far
    int m_flushing = 0;
    bool m_stopping = false;
    bool m_off = false;
    std::optional<SqliteError> m_replaceRequest;

    std::thread m_thread;
};
