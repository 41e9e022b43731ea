#include "app/WebsiteCommands.h"

#include "app/UnitMain.h"
#include "app/WebsiteTreeModel.h"
#include "app/WebsitesPane.h"
#include "dialogs/AnsiText.h"
#include "dialogs/Prompts.h"
#include "dialogs/UnitAddOwnSite.h"
#include "model/DataFiles.h"
#include "model/LinkList.h"
#include "model/LinksSaver.h"
#include "model/WebsiteTree.h"

#include <QTreeView>

#include <optional>

void WebsiteCommands::AddOwnNew()
{
    const std::optional<rMySiteInfo> site = AskNewWebsite(&m_window, m_window.websites());
    if (!site)
        return;
    WebsitesPane& pane = m_window.websitesPane();
    pane.model().appendWebsite(*site);
    pane.VSTExplorer()->expandAll();
    m_window.RefreshNewByMy();
    SaveWebsites();
}

void WebsiteCommands::EditOwnExist()
{
    WebsitesPane& pane = m_window.websitesPane();
    const int row = pane.focusedRow();
    const rMySiteInfo* site = pane.focusedSite();
    if (row < 0 || !site || site->Id == 0)
        return;
    const std::optional<rMySiteInfo> changed = AskChangedWebsite(&m_window, m_window.websites(), *site);
    if (!changed)
        return;
    // The Id stays, so the website's links stay with it; the caption keeps the old name until the
    // focus moves.
    pane.model().replaceWebsite(row, *changed);
    m_window.RefreshNewByMy();
    SaveWebsites();
}

void WebsiteCommands::DeleteOwnSelected()
{
    WebsitesPane& pane = m_window.websitesPane();
    LinkList& links = m_window.links();
    const int row = pane.focusedRow();
    const rMySiteInfo* site = pane.focusedSite();
    if (row < 0 || !site || site->Id == 0)
        return;
    const std::int32_t id = site->Id;
    const auto linksOfSite = [&links, id] {
        std::vector<LinkRecord> found;
        for (const LinkRecord& link : links.records()) {
            if (link->SiteId == id)
                found.push_back(link);
        }
        return found;
    };
    const QString question = QStringLiteral("Delete the website \"%1\" and its %2 inbound link(s)?")
                                 .arg(FromAnsi(site->Name))
                                 .arg(linksOfSite().size());
    if (!AskConfirm(&m_window, question))
        return;

    // The root takes the focus first, so the list never shows the links of a website half gone.
    pane.focusRoot();
    pane.model().removeWebsite(row);
    // Links belong to an Id; another website may still carry the same one in a hand-edited file.
    if (m_window.websites().indexOfId(id) < 0) {
        const std::vector<LinkRecord> gone = linksOfSite();
        links.remove(gone);
        m_window.ForgetHistoryOf(gone);
        m_window.saver().noteChange(LinksSaver::Change::Edit);
    }
    m_window.RefreshNewByMy();
    m_window.RefreshStatusBar();
    SaveWebsites();
}

void WebsiteCommands::SaveWebsites()
{
    ::SaveWebsites(m_window.appDir(), m_window.websites());
}
