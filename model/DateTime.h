#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QDate>
#include <QString>
#include <QTime>

#include <optional>

// Date-times are day counts since 30 December 1899 in local wall-clock time; the fraction is the
// time of day and 0 means never. They convert to and from the calendar directly, never through
// UTC, so daylight saving never shifts them.
double EncodeDateTime(const QDate& date, const QTime& time);
QDate DecodeDate(double value);
QTime DecodeTime(double value);  // milliseconds included

// The locale's formats, adapted so that text round-trips: four-digit years, no time-zone field.
// Passed as one value to whatever formats dates or numbers, so tests can fix them.
struct LocaleFormats {
    QString shortDate;  // QDate::toString format, e.g. "M/d/yyyy"
    QString longTime;   // QTime::toString format, e.g. "h:mm:ss AP"
    QChar decimalSeparator = u'.';

    static LocaleFormats system();
    static LocaleFormats fromLocale(const class QLocale& locale);
};

// The short date; then a blank and the long time only when hour, minute or second is not 0.
// Milliseconds are never written. 0 gives 30 December 1899 alone.
QByteArray DateTimeToText(double value, const LocaleFormats& formats);
// Accepts the same two forms; anything else fails.
std::optional<double> TextToDateTime(QByteArrayView text, const LocaleFormats& formats);
