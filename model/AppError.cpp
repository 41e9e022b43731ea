#include "model/AppError.h"

#include <cstring>

AppError CannotOpenFile(const QString& path, const QString& reason)
{
    return AppError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
}

AppError CannotCreateFile(const QString& path, const QString& reason)
{
    return AppError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
}

QString SystemErrorText(int error)
{
    char buffer[256] = {};
    // GNU strerror_r returns the text, which may or may not live in the buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}
