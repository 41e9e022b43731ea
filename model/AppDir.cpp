#include "model/AppDir.h"

#include <QCoreApplication>

QString AppDir()
{
    if (const QString* installed = ScopedAppDir::AppDirSeam::installed())
        return *installed;
    return QCoreApplication::applicationDirPath() + u'/';
}

ScopedAppDir::ScopedAppDir(const QString& directory)
    : m_directory(directory.endsWith(u'/') ? directory : directory + u'/'), m_scope(m_directory)
{
}
