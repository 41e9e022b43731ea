#pragma once

#include "model/DateTime.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <vector>

// DateTimeToText and TextToDateTime for one set of formats, fast enough for whole data files, with
// results identical to those two functions, except that a text naming a day outside the calendar
// that can be written (years 1 to 9999) fails to read.
//
// Formats made of numeric day, month, four-digit year, hour, minute and second fields, AM/PM
// markers and literal text are compiled once; texts are then written and read without going
// through Qt's format interpreter. A text is taken from the fast reader only when writing its value
// gives that text back, so anything unusual goes to TextToDateTime. Formats with other fields
// (month names, for example), or whose compiled form disagrees with Qt on a set of samples, always
// take the slow path.
class DateTimeCodec {
public:
    enum class Mode { Compiled, Direct };
    explicit DateTimeCodec(LocaleFormats formats, Mode mode = Mode::Compiled);

    QByteArray toText(double value) const;
    std::optional<double> fromText(QByteArrayView text) const;

    const LocaleFormats& formats() const { return m_formats; }
    bool compiled() const { return m_compiled; }

    struct Field {
        enum Kind : std::uint8_t { Literal, Day, Month, Year, Hour12, Hour24, Minute, Second, AmPm } kind;
        std::uint8_t width;  // digits written: 1 means no leading zero; for AmPm, 1 = upper case
        QByteArray text;     // Literal only
    };

private:
    bool compile();
    void write(QByteArray& out, const std::vector<Field>& fields, int year, int month, int day, int hour, int minute,
               int second) const;
    std::optional<double> read(QByteArrayView text) const;

    LocaleFormats m_formats;
    std::vector<Field> m_date;
    std::vector<Field> m_time;
    bool m_compiled = false;
};
