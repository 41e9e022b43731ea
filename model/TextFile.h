#pragma once

#include <QByteArray>
#include <QString>

// Reads a whole file as bytes. Throws CannotOpenFile with the file's absolute path and the system's
// reason when it is missing, is a directory or a device, or cannot be read.
QByteArray ReadTextFile(const QString& path);
