#include "model/Csv.h"

namespace {

bool IsLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

}  // namespace

CsvReader::CsvReader(QByteArrayView bytes, CsvLimits limits) : m_bytes(bytes), m_limits(limits)
{
    if (m_bytes.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;
}

bool CsvReader::fail(const QString& what)
{
    m_error = QStringLiteral("Line %1: %2").arg(m_rowLine).arg(what);
    return false;
}

bool CsvReader::next(std::vector<QByteArray>& fields)
{
    fields.clear();
    if (!m_error.isEmpty())
        return false;
    const qsizetype size = m_bytes.size();
    const char* const data = m_bytes.data();
    // Line breaks: CR LF, LF or CR; an empty line holds no row.
    const auto skipBreak = [&] {
        if (data[m_pos] == '\r' && m_pos + 1 < size && data[m_pos + 1] == '\n')
            ++m_pos;
        ++m_pos;
        ++m_line;
    };
    while (m_pos < size && IsLineBreak(data[m_pos]))
        skipBreak();
    if (m_pos >= size)
        return false;
    m_rowLine = m_line;
    const qsizetype rowStart = m_pos;

    for (;;) {
        QByteArray field;
        // Sizes are checked before anything is copied, so a hostile file costs no more than the limits.
        bool fieldTooLong = false;
        const auto add = [&](qsizetype from, qsizetype to) {
            fieldTooLong = field.size() + (to - from) > m_limits.maxFieldBytes;
            if (fieldTooLong || to - rowStart > m_limits.maxRowBytes)
                return false;
            field.append(data + from, to - from);
            return true;
        };
        const auto tooLong = [&] {
            return fieldTooLong ? fail(QStringLiteral("a field is longer than %1 bytes.").arg(m_limits.maxFieldBytes))
                                : fail(QStringLiteral("a row is longer than %1 bytes.").arg(m_limits.maxRowBytes));
        };
        qsizetype end = m_pos;
        if (m_pos < size && data[m_pos] == '"') {
            ++m_pos;
            for (;;) {
                qsizetype quote = m_pos;
                while (quote < size && data[quote] != '"')
                    ++quote;
                for (qsizetype i = m_pos; i < quote; ++i) {
                    if (data[i] == '\n' || (data[i] == '\r' && (i + 1 >= size || data[i + 1] != '\n')))
                        ++m_line;
                }
                if (!add(m_pos, quote))
                    return tooLong();
                if (quote >= size)
                    return fail(QStringLiteral("a quoted field is not closed."));
                if (quote + 1 < size && data[quote + 1] == '"') {
                    field.append('"');
                    m_pos = quote + 2;
                    continue;
                }
                m_pos = quote + 1;
                break;
            }
            end = m_pos;
        }
        // Unquoted text, or whatever follows a closing quote, up to the next comma or line break.
        while (end < size && data[end] != ',' && !IsLineBreak(data[end]))
            ++end;
        if (!add(m_pos, end))
            return tooLong();
        m_pos = end;
        fields.push_back(std::move(field));
        if (qsizetype(fields.size()) > m_limits.maxFieldsPerRow)
            return fail(QStringLiteral("a row has more than %1 fields.").arg(m_limits.maxFieldsPerRow));
        if (m_pos >= size)
            return true;
        if (data[m_pos] != ',') {
            skipBreak();
            return true;
        }
        ++m_pos;
    }
}

CsvTable ReadCsv(QByteArrayView bytes, CsvLimits limits)
{
    CsvTable table;
    CsvReader reader(bytes, limits);
    std::vector<QByteArray> fields;
    while (reader.next(fields))
        table.rows.push_back(fields);
    table.error = reader.error();
    return table;
}

QByteArray CsvField(QByteArrayView field)
{
    bool quote = !field.isEmpty() &&
        (field.front() == ' ' || field.front() == '\t' || field.back() == ' ' || field.back() == '\t');
    for (const char c : field)
        quote = quote || c == ',' || c == '"' || IsLineBreak(c);
    if (!quote)
        return field.toByteArray();
    QByteArray out;
    out.reserve(field.size() + 2);
    out.append('"');
    for (const char c : field) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
    return out;
}

void CsvWriter::addRow(const std::vector<QByteArray>& fields)
{
    if (fields.empty())
        return;
    // An empty line is no row at all to a reader; one empty field has to be spelled out.
    if (fields.size() == 1 && fields.front().isEmpty()) {
        m_bytes.append("\"\"\r\n");
        return;
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            m_bytes.append(',');
        m_bytes.append(CsvField(fields[i]));
    }
    m_bytes.append("\r\n");
}

QByteArray CsvWriter::bytesWithBom() const
{
    return QByteArray("\xEF\xBB\xBF") + m_bytes;
}

QByteArray DefusedCsvText(QByteArrayView text)
{
    if (!text.isEmpty() && QByteArrayView("=+-@\t\r").contains(text.front()))
        return '\'' + text.toByteArray();
    return text.toByteArray();
}
