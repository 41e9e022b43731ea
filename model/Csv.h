#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

// Comma-separated values as RFC 4180 has them, read and written as bytes (UTF-8 in practice).

struct CsvLimits {
    qsizetype maxFieldBytes = 64 * 1024;
    qsizetype maxRowBytes = 1024 * 1024;
    qsizetype maxFieldsPerRow = 1024;
};

// Reads rows one at a time from bytes held by the caller, so that a file's memory never grows beyond
// one row. Fields may be quoted; a quoted field may hold commas, line breaks and doubled quotes.
// Rows end at CR LF, a lone LF or a lone CR, outside quotes. A UTF-8 byte-order mark at the start is
// skipped, and so is a line with nothing on it. A quote inside an unquoted field, or text after a
// quoted field's closing quote, is taken as it stands, as spreadsheets do.
//
// Errors, with the line they were found on: a quoted field still open at the end of the input, a
// field or row longer than the limits, a row with more fields than the limit. Reading stops at the
// first error; the rows before it stay read.
class CsvReader {
public:
    explicit CsvReader(QByteArrayView bytes, CsvLimits limits = CsvLimits());

    // The next row into `fields`; false at the end or at an error.
    bool next(std::vector<QByteArray>& fields);
    // Empty unless reading stopped at an error: "Line 12: a quoted field is not closed."
    const QString& error() const { return m_error; }
    // The line the last row returned started on, counted from 1.
    qsizetype line() const { return m_rowLine; }

private:
    bool fail(const QString& what);

    QByteArrayView m_bytes;
    CsvLimits m_limits;
    qsizetype m_pos = 0;
    qsizetype m_line = 1;
    qsizetype m_rowLine = 0;
    QString m_error;
};

// Every row, or the error that stopped reading (the rows before it are kept).
struct CsvTable {
    std::vector<std::vector<QByteArray>> rows;
    QString error;
};
CsvTable ReadCsv(QByteArrayView bytes, CsvLimits limits = CsvLimits());

// Writes rows as RFC 4180 does: a field is quoted when it holds a comma, a quote, CR or LF, or
// starts or ends with a blank, quotes are doubled, and every row ends with CR LF. A row of one empty
// field is written as "" so that it reads back; a row of no fields is not written.
class CsvWriter {
public:
    void addRow(const std::vector<QByteArray>& fields);
    const QByteArray& bytes() const { return m_bytes; }
    // The bytes with a UTF-8 byte-order mark in front, which spreadsheets need to read UTF-8.
    QByteArray bytesWithBom() const;

private:
    QByteArray m_bytes;
};

QByteArray CsvField(QByteArrayView field);

// A spreadsheet takes a field that starts with "=", "+", "-", "@", a tab or CR for a formula. Text
// from outside (a partner page's anchor text, say) goes through this before it is written, so that
// opening the file never runs what a page put there: such a text gets a "'" in front.
QByteArray DefusedCsvText(QByteArrayView text);
