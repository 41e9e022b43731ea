#pragma once

#include <QString>

// The directory of the executable with a trailing '/': the data files, config.ini, the templates
// and the sample file live there. Tests point it at a directory of their own.
QString AppDir();

// Makes AppDir() return the given directory (a trailing '/' is added when missing) for as long as
// it lives; the previous one comes back afterwards.
class ScopedAppDir {
public:
    explicit ScopedAppDir(const QString& directory);
    ~ScopedAppDir();
    ScopedAppDir(const ScopedAppDir&) = delete;
    ScopedAppDir& operator=(const ScopedAppDir&) = delete;

private:
    QString m_previous;
};
