#include "check/LinkHeader.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

class Reader {
public:
    explicit Reader(QByteArrayView text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }
    void skip() { ++m_pos; }
    void skipBlanks()
    {
        while (!atEnd() && IsBlank(peek()))
            ++m_pos;
    }

    // Up to the next link's comma, stepping over quoted strings.
    void skipToNextLink()
    {
        while (!atEnd() && peek() != ',') {
            if (peek() == '"')
                quoted();
            else
                ++m_pos;
        }
    }

    QByteArrayView until(char stop)
    {
        const qsizetype start = m_pos;
        while (!atEnd() && peek() != stop)
            ++m_pos;
        return m_text.sliced(start, m_pos - start);
    }

    QByteArrayView token()
    {
        const qsizetype start = m_pos;
        while (!atEnd() && !IsBlank(peek()) && peek() != '=' && peek() != ';' && peek() != ',')
            ++m_pos;
        return m_text.sliced(start, m_pos - start);
    }

    // A quoted string, the quotes gone and backslash escapes undone.
    QByteArray quoted()
    {
        QByteArray out;
        ++m_pos;
        while (!atEnd() && peek() != '"') {
            if (peek() == '\\' && m_pos + 1 < m_text.size())
                ++m_pos;
            out += peek();
            ++m_pos;
        }
        if (!atEnd())
            ++m_pos;
        return out;
    }

private:
    QByteArrayView m_text;
    qsizetype m_pos = 0;
};

// The rel parameter of the link the reader stands in, after its target; the reader ends at the
// comma that ends the link, or at the end.
QByteArray ReadRel(Reader& reader)
{
    QByteArray rel;
    bool seen = false;
    while (true) {
        reader.skipBlanks();
        if (reader.atEnd() || reader.peek() == ',')
            return rel;
        if (reader.peek() != ';') {
            reader.skipToNextLink();
            return rel;
        }
        reader.skip();
        reader.skipBlanks();
        const QByteArrayView name = reader.token();
        reader.skipBlanks();
        QByteArray value;
        if (reader.peek() == '=') {
            reader.skip();
            reader.skipBlanks();
            value = reader.peek() == '"' ? reader.quoted() : reader.token().toByteArray();
        }
        // Only the first rel parameter of a link counts.
        if (!seen && name.compare("rel", Qt::CaseInsensitive) == 0) {
            seen = true;
            rel = value;
        }
    }
}

}  // namespace

bool HasToken(QByteArrayView list, QByteArrayView token)
{
    qsizetype start = 0;
    while (start < list.size()) {
        while (start < list.size() && IsBlank(list[start]))
            ++start;
        qsizetype end = start;
        while (end < list.size() && !IsBlank(list[end]))
            ++end;
        if (end > start && list.sliced(start, end - start).compare(token, Qt::CaseInsensitive) == 0)
            return true;
        start = end;
    }
    return false;
}

QByteArray LinkHeaderTarget(QByteArrayView value, QByteArrayView relation)
{
    Reader reader(value);
    while (true) {
        reader.skipBlanks();
        while (reader.peek() == ',') {
            reader.skip();
            reader.skipBlanks();
        }
        if (reader.atEnd())
            return {};
        if (reader.peek() != '<') {
            reader.skipToNextLink();
            continue;
        }
        reader.skip();
        const QByteArrayView target = reader.until('>');
        if (reader.atEnd())
            return {};
        reader.skip();
        if (HasToken(ReadRel(reader), relation))
            return target.toByteArray();
    }
}
