#include "model/DateTimeCodec.h"

DateTimeCodec::DateTimeCodec(LocaleFormats formats) : m_formats(std::move(formats)) {}

QByteArray DateTimeCodec::toText(double value) const
{
    return DateTimeToText(value, m_formats);
}

std::optional<double> DateTimeCodec::fromText(QByteArrayView text) const
{
    return TextToDateTime(text, m_formats);
}
