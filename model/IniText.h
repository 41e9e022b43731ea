#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The private-profile INI format over the bytes of a whole file, without touching the disk.
//
// Lines end at CR LF, a lone CR or a lone LF; a last line without a break still counts. A line whose
// first non-blank byte is "[" starts a section named by the text up to "]", blanks trimmed. Inside a
// section, a line holding "=" is an entry: the key is the text before the first "=", blanks trimmed;
// lines starting with ";" are comments. Section and key names match with a to z taken as A to Z.
// The first entry of a key in the first section of that name that holds it is the one read and the
// one a write replaces. Bytes that do not fit any of this are kept as they are and never matched.
namespace IniText {

// The most bytes a read returns.
inline constexpr qsizetype MaxValueLength = 2047;

// The value of section/key: the text after the first "=", blanks trimmed, one pair of enclosing single
// or double quotes removed, cut to MaxValueLength. Nothing when the key is not there.
std::optional<QByteArray> readValue(QByteArrayView contents, QByteArrayView section, QByteArrayView key);

// The file's contents after writing section/key = value: the entry is replaced in place, or added
// after the last non-blank line of its section, or added with its section at the end. Every other
// line keeps its bytes and its line break. New lines end with CR LF. CR and LF inside the names or
// the value become blanks, so an entry can never spill onto a line of its own.
QByteArray writeValue(QByteArrayView contents, QByteArrayView section, QByteArrayView key, QByteArrayView value);

// Integer text: decimal with an optional sign, or hexadecimal after "0x", "0X" or "$", within the
// range of a 32-bit int. Nothing for any other text.
std::optional<int> parseInteger(QByteArrayView text);

}  // namespace IniText
