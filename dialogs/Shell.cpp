#include "dialogs/Shell.h"

#include <QDesktopServices>
#include <QUrl>

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
    return Seam<Shell>::current(desktop);
}
