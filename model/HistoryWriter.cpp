#include "model/HistoryWriter.h"

#include <pthread.h>
#include <sqlite3.h>

#include <utility>

HistoryWriter::HistoryWriter(SqliteDb db, std::chrono::milliseconds commitDelay, bool verify, Hooks hooks)
    : m_db(std::move(db)), m_commitDelay(commitDelay), m_verify(verify), m_hooks(std::move(hooks))
{
    m_thread = std::thread([this] { run(); });
}

HistoryWriter::~HistoryWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void HistoryWriter::push(HistoryOp op)
{
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_off || m_stopping)
            return;
        if (m_queue.empty())
            m_firstQueued = std::chrono::steady_clock::now();
        m_queue.push_back(std::move(op));
        ++m_queued;
        // The writer waits either for a first change or, while it lets changes gather, for a full
        // batch. Waking it for any other change would cost both threads a switch per check.
        wake = m_queue.size() == 1 || m_queue.size() == MaxBatch;
    }
    if (wake)
        m_wake.notify_one();
}

bool HistoryWriter::flush()
{
    std::unique_lock lock(m_mutex);
    const quint64 target = m_queued;
    ++m_flushing;
    m_wake.notify_one();
    m_progress.wait(lock, [&] { return m_finished >= target || m_off; });
    --m_flushing;
    return !m_off;
}

void HistoryWriter::requestReplace(const SqliteError& error)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_off)
            return;
        m_replaceRequest = error;
    }
    m_wake.notify_one();
}

void HistoryWriter::switchOff()
{
    {
        std::lock_guard lock(m_mutex);
        m_off = true;
        m_finished += m_queue.size();
        m_queue.clear();
    }
    m_progress.notify_all();
}

void HistoryWriter::run()
{
    ::pthread_setname_np(::pthread_self(), "history");
    // The whole file is checked before the first commit rather than at once: reading a large file
    // takes a while, which start-up need not share, and what was queued meanwhile still goes to a new
    // file when the check finds damage.
    bool verified = !m_verify;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stopping || m_replaceRequest || !m_queue.empty(); });
        if (m_replaceRequest) {
            const SqliteError error = *std::exchange(m_replaceRequest, std::nullopt);
            lock.unlock();
            replace(error);
            lock.lock();
            continue;
        }
        if (m_queue.empty())
            break;
        // Checks finishing close together go to disk in one commit.
        if (!m_stopping && !m_flushing && m_queue.size() < MaxBatch) {
            m_wake.wait_until(lock, m_firstQueued + m_commitDelay,
                              [&] { return m_stopping || m_flushing || m_queue.size() >= MaxBatch; });
        }
        if (!verified) {
            verified = true;
            lock.unlock();
            verify();
            lock.lock();
        }
        std::vector<HistoryOp> batch;
        batch.swap(m_queue);
        lock.unlock();
        write(batch);
        lock.lock();
        m_finished += batch.size();
        m_progress.notify_all();
    }
}

void HistoryWriter::verify()
{
    // The statement must be gone before the connection is closed for a new file.
    std::optional<SqliteError> failure;
    try {
        SqliteStatement check(m_db, "PRAGMA quick_check(1)");
        if (check.step() && check.blob(0) != "ok")
            failure = SqliteError(SQLITE_CORRUPT, "SQLite found damaged pages in it");
    } catch (const SqliteError& error) {
        failure = error;
    }
    if (!failure)
        return;
    if (failure->isDamage())
        replace(*failure);
    else
        fail(*failure);
}

void HistoryWriter::write(const std::vector<HistoryOp>& batch)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        {
            std::lock_guard lock(m_mutex);
            if (m_off || !m_db.isOpen())
                return;
        }
        try {
            if (!m_recorder)
                m_recorder = std::make_unique<HistoryRecorder>(m_db, !m_replacedFile);
            m_recorder->apply(batch);
            if (m_hooks.committed)
                m_hooks.committed();
            return;
        } catch (const SqliteError& error) {
            // Damage found while writing: the batch goes to the new file instead.
            if (error.isDamage() && attempt == 0) {
                if (!replace(error))
                    return;
                continue;
            }
            fail(error);
            return;
        }
    }
}

void HistoryWriter::fail(const SqliteError& error)
{
    m_recorder.reset();
    m_db.close();
    // The owner learns of it before anyone waiting in flush() does, so that they find it reported.
    if (m_hooks.failed)
        m_hooks.failed(error);
    switchOff();
}

bool HistoryWriter::replace(const SqliteError& error)
{
    m_replacedFile = true;
    m_recorder.reset();
    m_db.close();
    m_db = m_hooks.replaceDamaged(error);
    if (!m_db.isOpen()) {
        switchOff();
        return false;
    }
    return true;
}
