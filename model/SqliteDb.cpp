#include "model/SqliteDb.h"

#include <QFile>

#include <sqlite3.h>

#include <utility>

SqliteError::SqliteError(int code, QByteArray message, int systemError)
    : m_code(code), m_message(std::move(message)), m_systemError(systemError)
{
}

bool SqliteError::isDamage() const
{
    const int primary = primaryCode();
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_TOOBIG;
}

SqliteDb::SqliteDb(const QString& path, Mode mode, int busyTimeoutMs)
{
    // SQLite counts the memory it uses behind a mutex of the whole process that every allocation
    // takes: 7 % of what recording a check costs. Nothing here reads the counts. Once
    // SQLite has started, the call changes nothing and fails harmlessly.
    static const int memoryStatistics = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    Q_UNUSED(memoryStatistics);
    int flags = (mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    if (mode == Mode::ReadWriteCreate)
        flags |= SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QByteArray message = m_db ? QByteArray(sqlite3_errmsg(m_db)) : QByteArray(sqlite3_errstr(rc));
        const int code = m_db ? sqlite3_extended_errcode(m_db) : rc;
        const int systemError = m_db ? sqlite3_system_errno(m_db) : 0;
        close();
        throw SqliteError(code, message, systemError);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, busyTimeoutMs);
    // A hand-made file may carry triggers or views that run when our statements do; none of ours
    // uses either, so both stay off, and the schema may not be changed behind SQLite's back.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, MaxValueBytes);
}

SqliteDb::~SqliteDb()
{
    close();
}

SqliteDb::SqliteDb(SqliteDb&& other) noexcept : m_db(std::exchange(other.m_db, nullptr))
{
}

SqliteDb& SqliteDb::operator=(SqliteDb&& other) noexcept
{
    if (this != &other) {
        close();
        m_db = std::exchange(other.m_db, nullptr);
    }
    return *this;
}

bool SqliteDb::isReadOnly() const
{
    return m_db && sqlite3_db_readonly(m_db, "main") == 1;
}

void SqliteDb::close()
{
    // Every statement is finalised by its owner before this, so close_v2 frees the connection now.
    if (m_db)
        sqlite3_close_v2(std::exchange(m_db, nullptr));
}

void SqliteDb::exec(const char* sql)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const QByteArray text = message ? QByteArray(message) : QByteArray(sqlite3_errstr(rc));
        sqlite3_free(message);
        throw SqliteError(sqlite3_extended_errcode(m_db), text, sqlite3_system_errno(m_db));
    }
}

qint64 SqliteDb::integer(const char* sql)
{
    SqliteStatement statement(*this, sql);
    return statement.step() ? statement.integer(0) : 0;
}

qint64 SqliteDb::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

qint64 SqliteDb::changes() const
{
    return sqlite3_changes64(m_db);
}

void SqliteDb::raise(int code) const
{
    const int extended = m_db ? sqlite3_extended_errcode(m_db) : code;
    // The connection's code may belong to an earlier call when this one failed before reaching it.
    const int reported = (extended & 0xff) == (code & 0xff) ? extended : code;
    if (!m_db)
        throw SqliteError(code, sqlite3_errstr(code));
    throw SqliteError(reported, sqlite3_errmsg(m_db), sqlite3_system_errno(m_db));
}

SqliteStatement::SqliteStatement(SqliteDb& db, const char* sql) : m_db(db)
{
    const int rc = sqlite3_prepare_v2(db.handle(), sql, -1, &m_statement, nullptr);
    if (rc != SQLITE_OK)
        db.raise(rc);
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

SqliteStatement& SqliteStatement::bind(int index, qint64 value)
{
    const int rc = sqlite3_bind_int64(m_statement, index, value);
    if (rc != SQLITE_OK)
        m_db.raise(rc);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, QByteArrayView blob)
{
    // A null pointer would bind NULL; an empty value stays an empty blob.
    static const char empty = 0;
    const char* data = blob.isEmpty() ? &empty : blob.data();
    const int rc =
        sqlite3_bind_blob64(m_statement, index, data, static_cast<sqlite3_uint64>(blob.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        m_db.raise(rc);
    return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index)
{
    const int rc = sqlite3_bind_null(m_statement, index);
    if (rc != SQLITE_OK)
        m_db.raise(rc);
    return *this;
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_statement);
    m_db.raise(rc);
}

void SqliteStatement::run()
{
    while (step()) {}
    reset();
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

qint64 SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

QByteArrayView SqliteStatement::blob(int column) const
{
    const void* data = sqlite3_column_blob(m_statement, column);
    const int size = sqlite3_column_bytes(m_statement, column);
    return data && size > 0 ? QByteArrayView(static_cast<const char*>(data), size) : QByteArrayView();
}

SqliteTransaction::SqliteTransaction(SqliteDb& db, Kind kind) : m_db(db)
{
    // IMMEDIATE takes the write lock at once, so a busy file is found before any work is done and
    // the busy time-out applies to the lock, not to a half-done transaction.
    m_db.exec(kind == Kind::Write ? "BEGIN IMMEDIATE" : "BEGIN");
}

SqliteTransaction::~SqliteTransaction()
{
    if (m_open && m_db.isOpen() && !sqlite3_get_autocommit(m_db.handle()))
        sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteTransaction::commit()
{
    m_db.exec("COMMIT");
    m_open = false;
}
