#pragma once

#include "model/DateTime.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// DateTimeToText and TextToDateTime for one set of formats, fast enough for whole data files.
// Results are identical to those two functions.
class DateTimeCodec {
public:
    explicit DateTimeCodec(LocaleFormats formats);

    QByteArray toText(double value) const;
    std::optional<double> fromText(QByteArrayView text) const;

    const LocaleFormats& formats() const { return m_formats; }

private:
    LocaleFormats m_formats;
};
