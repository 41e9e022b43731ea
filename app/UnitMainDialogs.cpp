// The commands of the main window that open a dialog or hand over to the desktop.
#include "app/CsvExport.h"
#include "app/HelpCommands.h"
#include "app/ShellCommands.h"
#include "app/UnitMain.h"
#include "app/WebsitesPane.h"
#include "app/WindowHistory.h"
#include "dialogs/UnitOptions.h"
#include "import/UnitImport.h"
#include "model/LinkList.h"
#include "model/LinksSaver.h"
#include "report/UnitReport.h"

#include <QSet>

void TfrmMain::ImportInbound()
{
    QSet<const rMonitorInfo*> before;
    m_links->forEachRow([&before](const rMonitorInfo& row) { before.insert(&row); });
    TfrmImport dialog(this, websites(), *m_links);
    if (dialog.exec() != QDialog::Accepted)
        return;
    std::vector<const rMonitorInfo*> imported;
    m_links->forEachRow([&](const rMonitorInfo& row) {
        if (!before.contains(&row))
            imported.push_back(&row);
    });
    m_history->forgetEarlierLinks(imported, *m_links);
    m_saver->noteChange(LinksSaver::Change::Edit);
    // New rows of another website than the one shown go out of sight, and the counts follow.
    VSTExplorerFocusChanged(m_websitesPane->focusedId());
}

void TfrmMain::ExportCsv()
{
    ExportShownLinks(this, *m_links, m_formats, &websites());
}

void TfrmMain::GenerateReport()
{
    TfrmReport dialog(this, websites(), *m_links, m_formats);
    dialog.exec();
}

void TfrmMain::OpenOptions()
{
    ShowOptions(this, *m_settings);
}

void TfrmMain::Help2Click()
{
    OpenHelpFile();
}

void TfrmMain::Contact()
{
    OpenContactPage();
}

void TfrmMain::OpenAbout()
{
    OpenAboutBox(this);
}

void TfrmMain::SendEmail()
{
    SendEmailTo(SelectedLinks());
}

void TfrmMain::OpenUrlWithIE()
{
    OpenPagesOf(SelectedLinks());
}
