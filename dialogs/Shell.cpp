#include "dialogs/Shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
Shell* g_installed = nullptr;
}

void DesktopShell::openUrl(const QString& url)
{
    QDesktopServices::openUrl(QUrl::fromUserInput(url));
}

void DesktopShell::openMail(const QString& address)
{
    QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

void DesktopShell::openFile(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

Shell& shell()
{
    static DesktopShell desktop;
    return g_installed ? *g_installed : desktop;
}

ScopedShell::ScopedShell(Shell& replacement) : m_previous(g_installed)
{
    g_installed = &replacement;
}

ScopedShell::~ScopedShell()
{
    g_installed = m_previous;
}
