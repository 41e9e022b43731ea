#include "dialogs/AnsiText.h"

QString FromAnsi(QByteArrayView bytes)
{
    return QString::fromLocal8Bit(bytes);
}

QByteArray ToAnsi(const QString& text)
{
    return text.toLocal8Bit();
}

QByteArray ToAnsiKeeping(const QString& text, const QByteArray& stored)
{
    return FromAnsi(stored) == text ? stored : ToAnsi(text);
}
