#include "model/DateTime.h"

#include <QLocale>

#include <cmath>
#include <vector>

namespace {

constexpr qint64 MsPerDay = 86400000;
// 1 January 0001 and 31 December 9999: the calendar range a day count may name.
constexpr double FirstDay = -693593;
constexpr double LastDay = 2958466;  // exclusive
// Longer text cannot be a date-time in any format; the cap keeps hostile file contents cheap.
constexpr qsizetype MaxTextLength = 256;

QDate epoch()
{
    return QDate(1899, 12, 30);
}

struct DayAndTime {
    qint64 day;  // days since the epoch
    qint64 ms;   // milliseconds since midnight
};

// Before the epoch the whole part still counts days and the fraction's absolute value is the time of
// day, so -1.25 is 29 December 1899 at 06:00.
std::optional<DayAndTime> split(double value)
{
    if (!std::isfinite(value) || value < FirstDay - 1 || value >= LastDay)
        return std::nullopt;
    double whole = std::trunc(value);
    qint64 ms = std::llround(std::fabs(value - whole) * double(MsPerDay));
    if (ms >= MsPerDay) {
        ms -= MsPerDay;
        whole += value < 0 ? -1 : 1;
    }
    if (whole < FirstDay || whole >= LastDay)
        return std::nullopt;
    return DayAndTime{qint64(whole), ms};
}

struct Token {
    enum Kind { Field, Quoted, Literal } kind;
    QString text;
};

// A Qt date or time format as runs of one pattern letter, quoted literals and single literal characters.
std::vector<Token> tokenize(const QString& format)
{
    std::vector<Token> tokens;
    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = format[i];
        qsizetype j = i + 1;
        if (c == u'\'') {
            while (j < n) {
                if (format[j] != u'\'') {
                    ++j;
                } else if (j + 1 < n && format[j + 1] == u'\'') {
                    j += 2;
                } else {
                    ++j;
                    break;
                }
            }
            tokens.push_back({Token::Quoted, format.mid(i, j - i)});
        } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
            while (j < n && format[j] == c)
                ++j;
            tokens.push_back({Token::Field, format.mid(i, j - i)});
        } else {
            tokens.push_back({Token::Literal, QString(c)});
        }
        i = j;
    }
    return tokens;
}

bool isBlankLiteral(const Token& token)
{
    return token.kind == Token::Literal && token.text.at(0).isSpace();
}

QString join(const std::vector<Token>& tokens)
{
    QString out;
    for (const Token& token : tokens)
        out += token.text;
    return out;
}

// Two-digit years do not survive a round trip across centuries.
QString adaptDateFormat(const QString& format)
{
    std::vector<Token> tokens = tokenize(format);
    for (Token& token : tokens) {
        if (token.kind == Token::Field && token.text.at(0) == u'y')
            token.text = QStringLiteral("yyyy");
    }
    return join(tokens);
}

// Time-zone fields cannot be read back into a local wall-clock time, and milliseconds are never
// written. Each goes with the separator that introduced it.
QString adaptTimeFormat(const QString& format)
{
    std::vector<Token> kept;
    for (Token& token : tokenize(format)) {
        if (token.kind == Token::Field && token.text.at(0) == u't')
            continue;
        if (token.kind == Token::Field && token.text.at(0) == u'z') {
            if (!kept.empty() && kept.back().kind == Token::Literal && !isBlankLiteral(kept.back()))
                kept.pop_back();
            continue;
        }
        if (isBlankLiteral(token) && (kept.empty() || isBlankLiteral(kept.back())))
            continue;
        kept.push_back(std::move(token));
    }
    while (!kept.empty() && isBlankLiteral(kept.back()))
        kept.pop_back();
    return join(kept);
}

bool roundTrips(const LocaleFormats& formats, const QDate& date, const QTime& time)
{
    const double value = EncodeDateTime(date, time);
    const std::optional<double> back = TextToDateTime(DateTimeToText(value, formats), formats);
    return back && *back == value;
}

}  // namespace

double EncodeDateTime(const QDate& date, const QTime& time)
{
    if (!date.isValid())
        return 0;
    const double day = double(epoch().daysTo(date));
    const double fraction = time.isValid() ? double(time.msecsSinceStartOfDay()) / double(MsPerDay) : 0.0;
    return day >= 0 ? day + fraction : day - fraction;
}

QDate DecodeDate(double value)
{
    const std::optional<DayAndTime> parts = split(value);
    return parts ? epoch().addDays(parts->day) : QDate();
}

QTime DecodeTime(double value)
{
    const std::optional<DayAndTime> parts = split(value);
    return parts ? QTime::fromMSecsSinceStartOfDay(int(parts->ms)) : QTime();
}

LocaleFormats LocaleFormats::system()
{
    return fromLocale(QLocale::system());
}

LocaleFormats LocaleFormats::fromLocale(const QLocale& locale)
{
    LocaleFormats formats;
    formats.shortDate = adaptDateFormat(locale.dateFormat(QLocale::ShortFormat));
    formats.longTime = adaptTimeFormat(locale.timeFormat(QLocale::LongFormat));
    const QString point = locale.decimalPoint();
    if (point.size() == 1)
        formats.decimalSeparator = point.at(0);

    // A format that still does not read back what it wrote would corrupt every date in the data
    // files; such a locale gets an unambiguous one instead.
    const QTime noon(12, 0, 0);
    if (!roundTrips(formats, QDate(1899, 12, 30), noon) || !roundTrips(formats, QDate(2099, 12, 31), noon) ||
        !roundTrips(formats, QDate(1900, 1, 1), noon))
        formats.shortDate = QStringLiteral("yyyy-MM-dd");
    const QDate day(2000, 1, 2);
    if (!roundTrips(formats, day, QTime(14, 5, 9)) || !roundTrips(formats, day, QTime(1, 2, 3)) ||
        !roundTrips(formats, day, QTime(12, 0, 1)) || !roundTrips(formats, day, QTime(0, 0, 1)))
        formats.longTime = QStringLiteral("HH:mm:ss");
    return formats;
}

QByteArray DateTimeToText(double value, const LocaleFormats& formats)
{
    // A count outside the calendar cannot come from a clock or a file; it is written as "never" so
    // that the file stays readable.
    const DayAndTime parts = split(value).value_or(DayAndTime{0, 0});
    QString text = epoch().addDays(parts.day).toString(formats.shortDate);
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(parts.ms));
    if (time.hour() != 0 || time.minute() != 0 || time.second() != 0) {
        text += u' ';
        text += QTime(time.hour(), time.minute(), time.second()).toString(formats.longTime);
    }
    return text.toUtf8();
}

std::optional<double> TextToDateTime(QByteArrayView text, const LocaleFormats& formats)
{
    if (text.isEmpty() || text.size() > MaxTextLength)
        return std::nullopt;
    // Qt reads years before 1 too, but no day count names them: such a value could never be written
    // back, and a save would turn it into "never". It is no date-time of the files.
    const auto encode = [](const QDate& date, const QTime& time) -> std::optional<double> {
        if (date.year() < 1 || date.year() > 9999)
            return std::nullopt;
        return EncodeDateTime(date, time);
    };
    const QString whole = QString::fromUtf8(text);
    const QDate dateOnly = QDate::fromString(whole, formats.shortDate);
    if (dateOnly.isValid())
        return encode(dateOnly, QTime(0, 0));
    // Both formats may hold blanks themselves, so every blank is a candidate for the one between them.
    for (qsizetype at = whole.indexOf(u' '); at >= 0; at = whole.indexOf(u' ', at + 1)) {
        const QDate date = QDate::fromString(whole.left(at), formats.shortDate);
        if (!date.isValid())
            continue;
        const QTime time = QTime::fromString(whole.mid(at + 1), formats.longTime);
        if (time.isValid())
            return encode(date, time);
    }
    return std::nullopt;
}
