#include "model/IniText.h"

#include "model/TextUtil.h"

#include <limits>
#include <vector>

namespace {

struct Line {
    qsizetype begin;  // first byte
    qsizetype end;    // one past the last byte before the line break
    qsizetype next;   // one past the line break
};

enum class Kind { Other, Section, Entry };

struct Parsed {
    Kind kind = Kind::Other;
    QByteArrayView name;        // section name or key
    qsizetype afterEquals = 0;  // entries: offset of the first byte after "="
    qsizetype valueAt = 0;      // entries: the same, past the blanks that follow "="
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

QByteArrayView trimBlanks(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

std::vector<Line> splitLines(QByteArrayView contents)
{
    std::vector<Line> lines;
    const qsizetype size = contents.size();
    qsizetype begin = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char c = contents[i];
        if (c != '\r' && c != '\n')
            continue;
        qsizetype next = i + 1;
        if (c == '\r' && next < size && contents[next] == '\n')
            ++next;
        lines.push_back({begin, i, next});
        begin = next;
        i = next - 1;
    }
    if (begin < size)
        lines.push_back({begin, size, size});
    return lines;
}

Parsed parseLine(QByteArrayView contents, const Line& line)
{
    const QByteArrayView text = contents.sliced(line.begin, line.end - line.begin);
    const QByteArrayView trimmed = trimBlanks(text);
    Parsed parsed;
    if (trimmed.startsWith('[')) {
        const QByteArrayView inner = trimmed.sliced(1);
        const qsizetype close = inner.indexOf(']');
        parsed.kind = Kind::Section;
        parsed.name = trimBlanks(close < 0 ? inner : inner.first(close));
        return parsed;
    }
    if (trimmed.startsWith(';'))
        return parsed;
    const qsizetype equals = text.indexOf('=');
    if (equals < 0)
        return parsed;
    parsed.kind = Kind::Entry;
    parsed.name = trimBlanks(text.first(equals));
    qsizetype valueAt = equals + 1;
    parsed.afterEquals = line.begin + valueAt;
    while (valueAt < text.size() && isBlank(text[valueAt]))
        ++valueAt;
    parsed.valueAt = line.begin + valueAt;
    return parsed;
}

bool sameName(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && CompareFolded(a, b) == 0;
}

// Where section/key lives in the file: the entry's line, or else the line after which a new entry of
// that section goes. Both are -1 when the section is missing.
struct Location {
    qsizetype entry = -1;
    qsizetype sectionEnd = -1;
    Parsed parsed;
};

Location locate(QByteArrayView contents, const std::vector<Line>& lines, QByteArrayView section, QByteArrayView key)
{
    Location found;
    bool inSection = false;
    bool firstSection = false;
    for (qsizetype i = 0; i < qsizetype(lines.size()); ++i) {
        const Parsed parsed = parseLine(contents, lines[size_t(i)]);
        if (parsed.kind == Kind::Section) {
            inSection = sameName(parsed.name, section);
            firstSection = inSection && found.sectionEnd < 0;
            if (firstSection)
                found.sectionEnd = i;
            continue;
        }
        if (!inSection)
            continue;
        if (parsed.kind == Kind::Entry && sameName(parsed.name, key)) {
            found.entry = i;
            found.parsed = parsed;
            return found;
        }
        const Line& line = lines[size_t(i)];
        if (firstSection && !trimBlanks(contents.sliced(line.begin, line.end - line.begin)).isEmpty())
            found.sectionEnd = i;
    }
    return found;
}

QByteArray flattened(QByteArrayView text)
{
    QByteArray out = text.toByteArray();
    for (char& c : out) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return out;
}

}  // namespace

namespace IniText {

std::optional<QByteArray> readValue(QByteArrayView contents, QByteArrayView section, QByteArrayView key)
{
    const std::vector<Line> lines = splitLines(contents);
    const Location at = locate(contents, lines, section, key);
    if (at.entry < 0)
        return std::nullopt;
    const Line& line = lines[size_t(at.entry)];
    QByteArrayView value = trimBlanks(contents.sliced(at.parsed.valueAt, line.end - at.parsed.valueAt));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return value.first(std::min(value.size(), MaxValueLength)).toByteArray();
}

QByteArray writeValue(QByteArrayView contents, QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    static const QByteArrayView lineBreak("\r\n");
    const std::vector<Line> lines = splitLines(contents);
    const Location at = locate(contents, lines, section, key);
    const QByteArray flatValue = flattened(value);
    const QByteArray entry = flattened(key) + '=' + flatValue;

    QByteArray out;
    out.reserve(contents.size() + section.size() + entry.size() + 8);
    if (at.entry >= 0) {
        // The blanks after "=" stay, unless the value brings its own.
        const Line& line = lines[size_t(at.entry)];
        const bool ownBlanks = !flatValue.isEmpty() && isBlank(flatValue.front());
        out.append(contents.first(ownBlanks ? at.parsed.afterEquals : at.parsed.valueAt));
        out.append(flatValue);
        out.append(contents.sliced(line.end));
        return out;
    }
    if (at.sectionEnd >= 0) {
        const Line& last = lines[size_t(at.sectionEnd)];
        out.append(contents.first(last.next));
        if (last.next == last.end)
            out.append(lineBreak);
        out.append(entry);
        out.append(lineBreak);
        out.append(contents.sliced(last.next));
        return out;
    }
    out.append(contents);
    if (!lines.empty() && lines.back().next == lines.back().end)
        out.append(lineBreak);
    out.append('[');
    out.append(flattened(section));
    out.append(']');
    out.append(lineBreak);
    out.append(entry);
    out.append(lineBreak);
    return out;
}

std::optional<int> parseInteger(QByteArrayView text)
{
    qsizetype i = 0;
    int base = 10;
    bool negative = false;
    if (text.startsWith("0x") || text.startsWith("0X")) {
        base = 16;
        i = 2;
    } else if (text.startsWith('$')) {
        base = 16;
        i = 1;
    } else if (text.startsWith('+') || text.startsWith('-')) {
        negative = text.front() == '-';
        i = 1;
    }
    if (i == text.size())
        return std::nullopt;
    // One past the largest magnitude, so that the most negative int still fits.
    const qint64 limit = qint64(std::numeric_limits<int>::max()) + (negative ? 1 : 0);
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    return int(negative ? -magnitude : magnitude);
}

}  // namespace IniText
