#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <exception>

struct sqlite3;
struct sqlite3_stmt;

// A failed SQLite call: the extended result code and SQLite's message.
class SqliteError : public std::exception {
public:
    SqliteError(int code, QByteArray message, int systemError = 0);
    int code() const { return m_code; }
    int primaryCode() const { return m_code & 0xff; }
    int systemError() const { return m_systemError; }  // errno of the failed system call, or 0
    // The file is not a database, or is one with damaged pages, or holds a value larger than any
    // the program writes.
    bool isDamage() const;
    const char* what() const noexcept override { return m_message.constData(); }

private:
    int m_code;
    QByteArray m_message;
    int m_systemError;
};

// One connection, used by one thread at a time: the connection is opened without SQLite's own
// mutex, so whoever shares it across threads must serialise the calls.
class SqliteDb {
public:
    enum class Mode { ReadWriteCreate, ReadWrite, ReadOnly };

    SqliteDb() = default;
    // Throws SqliteError. The connection rejects schema tricks of hand-made files (defensive mode,
    // untrusted schema) and refuses to read values longer than MaxValueBytes.
    SqliteDb(const QString& path, Mode mode, int busyTimeoutMs);
    ~SqliteDb();
    SqliteDb(SqliteDb&& other) noexcept;
    SqliteDb& operator=(SqliteDb&& other) noexcept;
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    static constexpr int MaxValueBytes = 8 << 20;

    bool isOpen() const { return m_db != nullptr; }
    sqlite3* handle() const { return m_db; }
    bool isReadOnly() const;
    void close();

    // Runs statements without results. Throws SqliteError.
    void exec(const char* sql);
    // The first column of the first row as an integer, 0 when there is no row. Throws SqliteError.
    qint64 integer(const char* sql);
    qint64 lastInsertId() const;
    // The rows the last INSERT, UPDATE or DELETE changed.
    qint64 changes() const;

    [[noreturn]] void raise(int code) const;

private:
    sqlite3* m_db = nullptr;
};

// A prepared statement. Texts and blobs bound are copied; views read from a row stay valid until the
// next step or reset.
class SqliteStatement {
public:
    SqliteStatement(SqliteDb& db, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    SqliteStatement& bind(int index, qint64 value);
    SqliteStatement& bind(int index, QByteArrayView blob);  // a null view binds an empty blob
    SqliteStatement& bindNull(int index);

    // True while there is a row. Throws SqliteError.
    bool step();
    // Runs a statement that returns no rows. Throws SqliteError.
    void run();
    void reset();

    bool isNull(int column) const;
    qint64 integer(int column) const;
    QByteArrayView blob(int column) const;

private:
    SqliteDb& m_db;
    sqlite3_stmt* m_statement = nullptr;
};

// BEGIN on construction, ROLLBACK on destruction unless committed.
class SqliteTransaction {
public:
    enum class Kind { Read, Write };
    SqliteTransaction(SqliteDb& db, Kind kind);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    void commit();

private:
    SqliteDb& m_db;
    bool m_open = true;
};
