#include "dialogs/AnsiText.h"

QString FromAnsi(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes);
}

QByteArray ToAnsi(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text)
        bytes.append(c.unicode() < 256 ? static_cast<char>(c.unicode()) : '?');
    return bytes;
}
