#pragma once

#include "model/AppDir.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// Sets an environment variable for as long as it lives; the previous value, or its absence, comes
// back afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QString& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_previous;
};

// An installed copy in a temporary folder, as the package lays it out: AppDir is its bin/, the
// shipped files are in share/quorvane/, and XDG_DATA_HOME names its xdg/, so that the data folder
// is xdg/quorvane/. Paths given to write and read are relative to the copy's root.
class TempInstall {
public:
    TempInstall();
    QString root() const { return m_dir.path() + u'/'; }
    QString bin() const { return root() + QStringLiteral("bin/"); }
    QString shared() const { return root() + QStringLiteral("share/quorvane/"); }
    QString dataFolder() const { return root() + QStringLiteral("xdg/quorvane/"); }
    void write(const QString& relative, const QByteArray& contents) const;
    QByteArray read(const QString& relative) const;
    // Every file under the root, relative to it, sorted.
    QStringList files() const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ScopedAppDir> m_appDir;
    std::unique_ptr<ScopedEnvironment> m_xdg;
};
