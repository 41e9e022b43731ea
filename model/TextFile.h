#pragma once

#include <QByteArray>
#include <QString>

// Reads a whole file as bytes. Throws CannotOpenFile with the file's absolute path and the system's
// reason when it is missing, is a directory or a device, or cannot be read.
QByteArray ReadTextFile(const QString& path);

// Reads an open descriptor to its end, appending to `data` and going on after an interrupted read.
// Gives 0, or the errno of the read that failed.
int ReadToEnd(int fd, QByteArray& data);
