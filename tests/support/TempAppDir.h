#pragma once

#include "model/AppDir.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A fresh, empty AppDir for one test, removed afterwards.
class TempAppDir {
public:
    TempAppDir();
    QString path() const { return m_dir.path() + u'/'; }
    QString file(const QString& name) const { return path() + name; }
    void write(const QString& name, const QByteArray& contents) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ScopedAppDir> m_scope;
};
