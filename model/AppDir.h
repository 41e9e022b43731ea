#pragma once

#include "model/Seam.h"

#include <QString>

// The directory of the executable with a trailing '/': the data files, config.ini, the templates
// and the sample file live there. Tests point it at a directory of their own.
QString AppDir();

// Makes AppDir() return the given directory (a trailing '/' is added when missing) for as long as
// it lives; the previous one comes back afterwards.
class ScopedAppDir {
public:
    explicit ScopedAppDir(const QString& directory);

private:
    struct Tag;
    friend QString AppDir();
    using AppDirSeam = Seam<const QString, Tag>;

    const QString m_directory;
    AppDirSeam::Scope m_scope;
};
