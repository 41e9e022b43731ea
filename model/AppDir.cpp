#include "model/AppDir.h"

#include <QCoreApplication>

namespace {
// Empty when none is installed. Read and written on the UI thread only.
QString g_installed;
}  // namespace

QString AppDir()
{
    if (!g_installed.isEmpty())
        return g_installed;
    return QCoreApplication::applicationDirPath() + u'/';
}

ScopedAppDir::ScopedAppDir(const QString& directory) : m_previous(g_installed)
{
    g_installed = directory.endsWith(u'/') ? directory : directory + u'/';
}

ScopedAppDir::~ScopedAppDir()
{
    g_installed = m_previous;
}
