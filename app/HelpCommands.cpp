#include "app/HelpCommands.h"

#include "dialogs/Shell.h"
#include "dialogs/UnitAbout.h"
#include "model/DataFolder.h"
#include "model/ProductInfo.h"

#include <QFileInfo>

void OpenHelpFile()
{
    const QString path = ShippedFile(QLatin1StringView(HelpFileName));
    // The desktop would report a missing file in a window of its own.
    if (!QFileInfo(path).isFile())
        return;
    shell().openFile(path);
}

void OpenContactPage()
{
    shell().openUrl(ContactAddress());
}

void OpenAboutBox(QWidget* parent)
{
    TfrmAbout about(parent);
    about.exec();
}
