#include "model/HistoryStore.h"

#include "model/HistoryReader.h"
#include "model/HistoryWriter.h"
#include "model/SqliteDb.h"

#include <sqlite3.h>

#include <optional>

HistoryStore::HistoryStore(const QString& path, ProblemHandler onProblem, HistoryOptions options,
                           CommitHandler onCommitted)
    : m_path(path), m_options(options), m_onProblem(std::move(onProblem)), m_onCommitted(std::move(onCommitted))
{
    open();
}

HistoryStore::~HistoryStore()
{
    m_writer.reset();
    std::lock_guard lock(m_readMutex);
    m_reader.reset();
}

bool HistoryStore::isRecording() const
{
    return m_recording.load();
}

bool HistoryStore::isReadable() const
{
    return m_readable.load();
}

QString HistoryStore::problem() const
{
    std::lock_guard lock(m_problemMutex);
    return m_problem;
}

void HistoryStore::record(const LinkKey& key, const RecordedCheck& check, std::optional<PreviousCheck> previous)
{
    if (m_writer && m_recording.load(std::memory_order_relaxed))
        m_writer->push({HistoryOp::Kind::Record, key, {}, check, std::move(previous)});
}

void HistoryStore::forget(const LinkKey& key)
{
    if (m_writer && m_recording.load(std::memory_order_relaxed))
        m_writer->push({HistoryOp::Kind::Forget, key, {}, {}});
}

void HistoryStore::rename(const LinkKey& from, const LinkKey& to)
{
    if (m_writer && m_recording.load(std::memory_order_relaxed))
        m_writer->push({HistoryOp::Kind::Rename, from, to, {}});
}

bool HistoryStore::flush()
{
    return m_writer && m_recording.load() && m_writer->flush();
}

LatestChecks HistoryStore::latestChecks()
{
    return read<LatestChecks>([](SqliteDb& db) { return ReadLatestChecks(db); });
}

std::vector<HistoryEntry> HistoryStore::history(const LinkKey& key, int limit)
{
    return read<std::vector<HistoryEntry>>([&](SqliteDb& db) { return ReadHistory(db, key, limit); });
}

HistorySummary HistoryStore::summary(const LinkKey& key)
{
    return read<HistorySummary>([&](SqliteDb& db) { return ReadSummary(db, key); });
}

template <typename Result, typename Read>
Result HistoryStore::read(Read&& readFile)
{
    std::optional<SqliteError> failure;
    {
        std::lock_guard lock(m_readMutex);
        if (!m_reader || !m_readable.load())
            return {};
        try {
            return readFile(*m_reader);
        } catch (const SqliteError& error) {
            failure = error;
        }
    }
    // The writer owns setting a damaged file aside, since it must first let go of the file itself.
    if (failure->isDamage() && m_writer && m_recording.load()) {
        m_writer->requestReplace(*failure);
    } else {
        m_readable = false;
        if (m_writer)
            m_writer->switchOff();
        switchOff(classify(*failure), QString::fromUtf8(failure->what()));
    }
    return {};
}

namespace {

// What every connection to the file needs: commits that survive the process being killed (WAL
// with synchronous=NORMAL loses only on a power cut, and then only the last commits), and a WAL
// file that does not stay large after a burst.
void Configure(SqliteDb& db)
{
    db.exec("PRAGMA synchronous = NORMAL");
    db.exec("PRAGMA journal_size_limit = 4194304");
}

}  // namespace

void HistoryStore::open()
{
    if (m_options.readOnly) {
        openForReading();
        return;
    }
    try {
        auto db = std::make_unique<SqliteDb>(m_path, SqliteDb::Mode::ReadWriteCreate, m_options.busyTimeoutMs);
        switch (PrepareSchema(*db, m_options.schema)) {
        case SchemaState::Ready: break;
        case SchemaState::Newer: switchOff(Trouble::Newer, {}); return;
        case SchemaState::Foreign: throw SqliteError(SQLITE_NOTADB, "not a history file of Quorvane");
        }
        if (db->isReadOnly()) {
            m_reader = std::move(db);
            m_readable = true;
            switchOff(Trouble::ReadOnly, {});
            return;
        }
        // Switching to WAL writes to the file, so it comes only after the version is known to be ours.
        db->exec("PRAGMA journal_mode = WAL");
        Configure(*db);
        SqliteDb writer = openWriter();
        {
            std::lock_guard lock(m_readMutex);
            m_reader = std::move(db);
        }
        m_readable = true;
        m_recording = true;
        startWriter(std::move(writer));
    } catch (const SqliteError& error) {
        if (!error.isDamage()) {
            switchOff(classify(error), QString::fromUtf8(error.what()));
            return;
        }
        {
            std::lock_guard lock(m_readMutex);
            m_reader.reset();
        }
        SqliteDb writer = replaceDamaged(error);
        if (writer.isOpen())
            startWriter(std::move(writer));
    }
}

void HistoryStore::openForReading()
{
    try {
        auto db = std::make_unique<SqliteDb>(m_path, SqliteDb::Mode::ReadOnly, m_options.busyTimeoutMs);
        const std::optional<SchemaState> state = SchemaStateOf(*db, m_options.schema);
        if (state == SchemaState::Newer) {
            switchOff(Trouble::Newer, {});
        } else if (state == SchemaState::Foreign) {
            switchOff(Trouble::Damaged, QStringLiteral("not a history file of Quorvane"));
        } else if (state == SchemaState::Ready) {
            std::lock_guard lock(m_readMutex);
            m_reader = std::move(db);
            m_readable = true;
        }
    } catch (const SqliteError& error) {
        switchOff(classify(error), QString::fromUtf8(error.what()));
    }
}

SqliteDb HistoryStore::openWriter()
{
    SqliteDb db(m_path, SqliteDb::Mode::ReadWrite, m_options.busyTimeoutMs);
    Configure(db);
    return db;
}

void HistoryStore::startWriter(SqliteDb db)
{
    HistoryWriter::Hooks hooks;
    hooks.replaceDamaged = [this](const SqliteError& error) { return replaceDamaged(error); };
    hooks.failed = [this](const SqliteError& error) { switchOff(classify(error), QString::fromUtf8(error.what())); };
    hooks.committed = m_onCommitted;
    m_recording = true;
    m_writer = std::make_unique<HistoryWriter>(std::move(db), std::chrono::milliseconds(m_options.commitDelayMs),
                                               m_options.verifyOnOpen, std::move(hooks));
}

SqliteDb HistoryStore::replaceDamaged(const SqliteError& error)
{
    // One new file a session: a disk that damages every file it holds would otherwise fill the
    // folder with them.
    if (m_replaced) {
        switchOff(Trouble::Damaged, QString::fromUtf8(error.what()));
        return {};
    }
    m_replaced = true;
    QString aside;
    QString reason;
    bool renamed = false;
    std::optional<SqliteError> failure;
    SqliteDb writer;
    {
        std::lock_guard lock(m_readMutex);
        m_readable = false;
        m_reader.reset();
        renamed = setAside(&aside, &reason);
        if (renamed) {
            try {
                auto db = std::make_unique<SqliteDb>(m_path, SqliteDb::Mode::ReadWriteCreate, m_options.busyTimeoutMs);
                if (PrepareSchema(*db, m_options.schema) != SchemaState::Ready)
                    throw SqliteError(SQLITE_CANTOPEN, "a new history file could not be made");
                db->exec("PRAGMA journal_mode = WAL");
                Configure(*db);
                writer = openWriter();
                m_reader = std::move(db);
                m_readable = true;
            } catch (const SqliteError& newFile) {
                failure = newFile;
            }
        }
    }
    if (!renamed) {
        switchOff(Trouble::Damaged,
                  QStringLiteral("%1, and it could not be renamed: %2").arg(QString::fromUtf8(error.what()), reason));
        return {};
    }
    const QString damage =
        QStringLiteral("The check history \"%1\" was damaged (%2).").arg(m_path, QString::fromUtf8(error.what()));
    report(aside.isEmpty()
               ? damage + QStringLiteral(" A new history was started.")
               : damage + QStringLiteral(" It was renamed to \"%1\" and a new history was started.").arg(aside));
    if (failure) {
        switchOff(classify(*failure), QString::fromUtf8(failure->what()));
        return {};
    }
    m_recording = true;
    return writer;
}
