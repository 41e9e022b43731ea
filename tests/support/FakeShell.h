#pragma once

#include "dialogs/Shell.h"

#include <QList>
#include <QString>

// Records what would have been handed to the desktop, in order, each call prefixed by its kind:
// "url ", "mail " or "file ".
class FakeShell : public Shell {
public:
    void openUrl(const QString& url) override { calls.append(QStringLiteral("url ") + url); }
    void openMail(const QString& address) override { calls.append(QStringLiteral("mail ") + address); }
    void openFile(const QString& path) override { calls.append(QStringLiteral("file ") + path); }

    QList<QString> calls;
};

class InstalledFakeShell : public FakeShell {
public:
    InstalledFakeShell() : m_scope(*this) {}

private:
    ScopedShell m_scope;
};
