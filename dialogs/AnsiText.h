#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Record texts are byte strings kept exactly as the files store them. On screen they are decoded
// with the locale's 8-bit encoding (UTF-8 on a usual Linux desktop), and typed text is encoded the
// same way. A byte sequence that is not valid in that encoding shows as a replacement character;
// code that writes a field back should keep the stored bytes when the text on screen is unchanged
// (ToAnsiKeeping).
QString FromAnsi(QByteArrayView bytes);
QByteArray ToAnsi(const QString& text);
// The stored bytes when they still show as `text`, else `text` encoded.
QByteArray ToAnsiKeeping(const QString& text, const QByteArray& stored);
