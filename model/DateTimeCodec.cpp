#include "model/DateTimeCodec.h"

#include <QDate>
#include <QTime>

namespace {

using Field = DateTimeCodec::Field;

// Splits a Qt date or time format into fields; false when it holds anything beyond the plain
// numeric fields, the AM/PM markers and literal text.
bool compileFormat(const QString& format, std::vector<Field>& out)
{
    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = format[i];
        qsizetype j = i + 1;
        if (c == u'\'') {
            QString literal;
            while (j < n) {
                if (format[j] != u'\'') {
                    literal += format[j++];
                } else if (j + 1 < n && format[j + 1] == u'\'') {
                    literal += u'\'';
                    j += 2;
                } else {
                    ++j;
                    break;
                }
            }
            if (j == i + 2 && format[i + 1] == u'\'')  // '' outside quotes is one quote
                literal = QStringLiteral("'");
            out.push_back({Field::Literal, 0, literal.toUtf8()});
            i = j;
            continue;
        }
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) {
            out.push_back({Field::Literal, 0, QString(c).toUtf8()});
            i = j;
            continue;
        }
        while (j < n && format[j] == c)
            ++j;
        const qsizetype run = j - i;
        const char letter = static_cast<char>(c.unicode());
        if ((letter == 'A' || letter == 'a') && run == 1) {
            const bool upper = letter == 'A';
            if (j < n && (format[j] == u'P' || format[j] == u'p')) {
                if ((format[j] == u'P') != upper)
                    return false;  // mixed-case markers follow rules of their own
                ++j;
            }
            out.push_back({Field::AmPm, std::uint8_t(upper ? 1 : 0), {}});
            i = j;
            continue;
        }
        Field::Kind kind;
        switch (letter) {
        case 'd': kind = Field::Day; break;
        case 'M': kind = Field::Month; break;
        case 'y': kind = Field::Year; break;
        case 'h': kind = Field::Hour12; break;
        case 'H': kind = Field::Hour24; break;
        case 'm': kind = Field::Minute; break;
        case 's': kind = Field::Second; break;
        default: return false;
        }
        // Three Ms are the short month name, the only name field compiled: the C locale's own short
        // date uses it, and the names are always the English ones whatever the UI language.
        const bool monthName = kind == Field::Month && run == 3;
        if (kind == Field::Year ? run != 4 : (run > 2 && !monthName))
            return false;
        out.push_back({kind, std::uint8_t(run), {}});
        i = j;
    }
    return true;
}

bool hasAmPm(const std::vector<Field>& fields)
{
    for (const Field& f : fields) {
        if (f.kind == Field::AmPm)
            return true;
    }
    return false;
}

constexpr char MonthNames[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void appendNumber(QByteArray& out, int value, int width)
{
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int i = n; i < width; ++i)
        out.append('0');
    while (n > 0)
        out.append(digits[--n]);
}

// Reads the digits of one numeric field: exactly `width` of them, or one or two for width 1.
bool readNumber(QByteArrayView text, qsizetype& at, int width, int& value)
{
    const int most = width == 1 ? 2 : width;
    int got = 0;
    value = 0;
    while (got < most && at < text.size() && text[at] >= '0' && text[at] <= '9') {
        value = value * 10 + (text[at] - '0');
        ++at;
        ++got;
    }
    return got >= width;
}

struct Parts {
    int year = 0, month = 0, day = 0, hour = -1, hour12 = -1, minute = 0, second = 0, pm = -1;
};

bool readFields(QByteArrayView text, qsizetype& at, const std::vector<Field>& fields, Parts& p)
{
    for (const Field& f : fields) {
        switch (f.kind) {
        case Field::Literal:
            if (!text.sliced(at).startsWith(f.text))
                return false;
            at += f.text.size();
            break;
        case Field::AmPm: {
            const QByteArrayView rest = text.sliced(at);
            if (rest.startsWith(f.width ? "AM" : "am"))
                p.pm = 0;
            else if (rest.startsWith(f.width ? "PM" : "pm"))
                p.pm = 1;
            else
                return false;
            at += 2;
            break;
        }
        case Field::Month:
            if (f.width == 3) {
                const QByteArrayView name = text.sliced(at).first(std::min<qsizetype>(3, text.size() - at));
                p.month = 0;
                for (int m = 0; m < 12; ++m) {
                    if (name == QByteArrayView(MonthNames[m]))
                        p.month = m + 1;
                }
                if (p.month == 0)
                    return false;
                at += 3;
                break;
            }
            [[fallthrough]];
        default: {
            int v = 0;
            if (!readNumber(text, at, f.width, v))
                return false;
            switch (f.kind) {
            case Field::Day: p.day = v; break;
            case Field::Month: p.month = v; break;
            case Field::Year: p.year = v; break;
            case Field::Hour12: p.hour12 = v; break;
            case Field::Hour24: p.hour = v; break;
            case Field::Minute: p.minute = v; break;
            case Field::Second: p.second = v; break;
            default: break;
            }
        }
        }
    }
    return true;
}

}  // namespace

DateTimeCodec::DateTimeCodec(LocaleFormats formats, Mode mode) : m_formats(std::move(formats))
{
    if (mode == Mode::Compiled)
        m_compiled = compile();
}

bool DateTimeCodec::compile()
{
    if (!compileFormat(m_formats.shortDate, m_date) || !compileFormat(m_formats.longTime, m_time))
        return false;
    m_compiled = true;
    // The compiled form must agree with Qt's reading of the same formats, both ways.
    static const QDate days[] = {QDate(1899, 12, 30), QDate(1, 1, 1),     QDate(987, 10, 9),
                                 QDate(2024, 2, 29),  QDate(2009, 11, 1), QDate(9999, 12, 31)};
    static const QTime times[] = {QTime(0, 0),       QTime(0, 0, 1),   QTime(1, 2, 3),    QTime(9, 59, 59),
                                  QTime(11, 30, 0),  QTime(12, 0, 0),  QTime(12, 34, 56), QTime(13, 5, 9),
                                  QTime(23, 59, 59), QTime(10, 10, 10)};
    for (const QDate& day : days) {
        for (const QTime& time : times) {
            const double value = EncodeDateTime(day, time);
            const QByteArray text = DateTimeToText(value, m_formats);
            if (toText(value) != text || read(text) != TextToDateTime(text, m_formats)) {
                m_compiled = false;
                return false;
            }
        }
    }
    return true;
}

void DateTimeCodec::write(QByteArray& out, const std::vector<Field>& fields, int year, int month, int day, int hour,
                          int minute, int second) const
{
    const bool twelve = hasAmPm(fields);
    for (const Field& f : fields) {
        switch (f.kind) {
        case Field::Literal: out.append(f.text); break;
        case Field::Day: appendNumber(out, day, f.width); break;
        case Field::Month:
            if (f.width == 3)
                out.append(MonthNames[month - 1]);
            else
                appendNumber(out, month, f.width);
            break;
        case Field::Year: appendNumber(out, year, 4); break;
        case Field::Hour12: {
            int h = hour;
            if (twelve) {
                h = hour % 12;
                if (h == 0)
                    h = 12;
            }
            appendNumber(out, h, f.width);
            break;
        }
        case Field::Hour24: appendNumber(out, hour, f.width); break;
        case Field::Minute: appendNumber(out, minute, f.width); break;
        case Field::Second: appendNumber(out, second, f.width); break;
        case Field::AmPm: out.append(hour < 12 ? (f.width ? "AM" : "am") : (f.width ? "PM" : "pm")); break;
        }
    }
}

QByteArray DateTimeCodec::toText(double value) const
{
    if (!m_compiled)
        return DateTimeToText(value, m_formats);
    QDate date = DecodeDate(value);
    QTime time = DecodeTime(value);
    if (!date.isValid() || !time.isValid()) {  // outside the calendar: written as "never"
        date = QDate(1899, 12, 30);
        time = QTime(0, 0);
    }
    int y = 0, m = 0, d = 0;
    date.getDate(&y, &m, &d);
    QByteArray out;
    out.reserve(24);
    write(out, m_date, y, m, d, 0, 0, 0);
    if (time.hour() != 0 || time.minute() != 0 || time.second() != 0) {
        out.append(' ');
        write(out, m_time, y, m, d, time.hour(), time.minute(), time.second());
    }
    return out;
}

std::optional<double> DateTimeCodec::read(QByteArrayView text) const
{
    Parts p;
    qsizetype at = 0;
    if (!readFields(text, at, m_date, p))
        return std::nullopt;
    if (at < text.size()) {
        if (text[at] != ' ')
            return std::nullopt;
        ++at;
        if (!readFields(text, at, m_time, p) || at != text.size())
            return std::nullopt;
    }
    if (p.hour12 >= 0) {
        if (p.pm >= 0) {
            if (p.hour12 < 1 || p.hour12 > 12)
                return std::nullopt;
            p.hour = p.hour12 % 12 + (p.pm ? 12 : 0);
        } else {
            p.hour = p.hour12;
        }
    }
    if (p.hour < 0)
        p.hour = 0;
    if (!QDate::isValid(p.year, p.month, p.day) || !QTime::isValid(p.hour, p.minute, p.second))
        return std::nullopt;
    return EncodeDateTime(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second));
}

std::optional<double> DateTimeCodec::fromText(QByteArrayView text) const
{
    if (m_compiled) {
        // Only a text exactly as this codec writes it is taken here; the rest is Qt's to judge.
        const std::optional<double> value = read(text);
        if (value && toText(*value) == text)
            return value;
    }
    return TextToDateTime(text, m_formats);
}
