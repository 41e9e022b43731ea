#include "support/TempInstall.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

ScopedEnvironment::ScopedEnvironment(const char* name, const QString& value)
    : m_name(name), m_wasSet(qEnvironmentVariableIsSet(name)), m_previous(qgetenv(name))
{
    qputenv(name, QFile::encodeName(value));
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_wasSet)
        qputenv(m_name, m_previous);
    else
        qunsetenv(m_name);
}

TempInstall::TempInstall()
{
    if (!m_dir.isValid() || !QDir(m_dir.path()).mkpath(QStringLiteral("bin")) ||
        !QDir(m_dir.path()).mkpath(QStringLiteral("share/quorvane")))
        throw std::runtime_error("cannot create a temporary installation");
    m_appDir = std::make_unique<ScopedAppDir>(bin());
    m_xdg = std::make_unique<ScopedEnvironment>("XDG_DATA_HOME", root() + QStringLiteral("xdg"));
}

void TempInstall::write(const QString& relative, const QByteArray& contents) const
{
    const QString path = root() + relative;
    QFile out(path);
    if (!QDir().mkpath(QFileInfo(path).path()) || !out.open(QIODevice::WriteOnly) ||
        out.write(contents) != contents.size())
        throw std::runtime_error("cannot write a test file");
}

QByteArray TempInstall::read(const QString& relative) const
{
    QFile in(root() + relative);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

QStringList TempInstall::files() const
{
    QStringList found;
    QDirIterator it(m_dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(m_dir.path()).relativeFilePath(it.next()));
    found.sort();
    return found;
}
