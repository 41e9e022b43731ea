#include "support/TempAppDir.h"

#include <QFile>

#include <stdexcept>

TempAppDir::TempAppDir()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary directory");
    m_scope = std::make_unique<ScopedAppDir>(m_dir.path());
}

void TempAppDir::write(const QString& name, const QByteArray& contents) const
{
    QFile out(file(name));
    if (!out.open(QIODevice::WriteOnly) || out.write(contents) != contents.size())
        throw std::runtime_error("cannot write a test file");
}

QByteArray TempAppDir::read(const QString& name) const
{
    QFile in(file(name));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}
