#include "app/UnitMain.h"

#include "app/LinksPane.h"
#include "app/MainCommands.h"
#include "app/ShellCommands.h"
#include "app/SideSplitter.h"
#include "app/WebsiteTreeModel.h"
#include "app/WebsitesPane.h"
#include "app/WindowState.h"
#include "dialogs/AnsiText.h"
#include "dialogs/ErrorBox.h"
#include "dialogs/Prompts.h"
#include "model/AppDir.h"
#include "model/SettingsFile.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

namespace {

// The splitter's cursor comes from "mouse.ico" in the current directory, not AppDir; without it
// the splitter shows the default arrow.
QCursor SplitterCursor()
{
    const QPixmap image(QStringLiteral("mouse.ico"));
    return image.isNull() ? QCursor(Qt::ArrowCursor) : QCursor(image);
}

}  // namespace

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Quorvane"));
    buildLayout();
    buildStatusBar();
    FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::buildLayout()
{
    m_commands = new MainCommands(*this);

    m_websitesPane = new WebsitesPane(this);
    m_websitesPane->setToolBar(m_commands->ToolBarMySites());
    m_linksPane = new LinksPane(this);
    m_linksPane->setToolBar(m_commands->ToolBar1());

    m_splitter = new SideSplitter(this);
    m_splitter->setObjectName(QStringLiteral("Splitter1"));
    m_splitter->addWidget(m_websitesPane);
    m_splitter->addWidget(m_linksPane);
    setCentralWidget(m_splitter);
    // 164 pixels as designed, or wider when the desktop's font needs it for the websites tool bar.
    const int frame = m_websitesPane->frameWidth() * 2 + 2;
    m_splitter->setSideWidth(std::max(164, m_commands->ToolBarMySites()->sizeHint().width() + frame));

    connect(m_websitesPane, &WebsitesPane::focusChanged, this,
            [this](std::int32_t id) { RunGuarded(this, [this, id] { VSTExplorerFocusChanged(id); }); });
    connect(m_websitesPane, &WebsitesPane::contextMenuWanted, this,
            [this](const QPoint& at) { m_commands->PMExplorer()->popup(at); });
    connect(m_websitesPane, &WebsitesPane::nodeDoubleClicked, this,
            [this] { RunGuarded(this, [this] { EditOwnExist(); }); });
    connect(m_linksPane, &LinksPane::contextMenuWanted, this,
            [this](const QPoint& at) { m_commands->PMIL()->popup(at); });
    connect(m_linksPane, &LinksPane::rowDoubleClicked, this, [this] { RunGuarded(this, [this] { EditExist(); }); });
}

void TfrmMain::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    static constexpr int Widths[StatusPanelCount] = {100, 100, 100, 140, 120, 50};
    for (int width : Widths) {
        auto* panel = new QLabel(bar);
        panel->setFixedWidth(width);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        bar->addWidget(panel);
        m_statusPanels.push_back(panel);
    }
}

const WebsiteTree& TfrmMain::websites() const
{
    return m_websitesPane->model().tree();
}

void TfrmMain::FormCreate()
{
    m_appDir = AppDir();
    m_settings = std::make_unique<SettingsFile>(m_appDir + QStringLiteral("config.ini"));
    m_websitesPane->model().reset([](WebsiteTree& tree) { tree.AddRootWebsite(); });
    LoadWebsites();
    RefreshNewByMy();
    LoadLinks();
    RefreshStatusBar();
    RestoreWindowState();
    m_splitter->setHandleCursor(SplitterCursor());
}

void TfrmMain::EmptyLists()
{
    m_websitesPane->model().reset([](WebsiteTree& tree) { tree.clear(); });
}

void TfrmMain::FormClose()
{
    m_stopRequested = true;
    SaveLinks();
    SaveWindowState();
}

void TfrmMain::RestoreWindowState()
{
    WindowState::Restore(*m_settings, *this, *m_websitesPane, *m_linksPane);
}

void TfrmMain::SaveWindowState()
{
    WindowState::Save(*m_settings, *this, *m_websitesPane, *m_linksPane);
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    try {
        FormClose();
        event->accept();
    } catch (...) {
        // Everything is still in memory: the user can mend the cause and close again.
        event->ignore();
        ShowFailure(this);
    }
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // The position is not stored: the window opens in the middle of its screen.
    if (!isMaximized()) {
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
}

void TfrmMain::SelectWebsiteById(std::int32_t id)
{
    m_websitesPane->SelectWebsiteById(id);
}

void TfrmMain::RefreshNewByMy()
{
    m_commands->RefreshNewByMy(websites());
}

void TfrmMain::VSTExplorerFocusChanged(std::int32_t id)
{
    if (id != 0)
        ShowSiteItems(id);
    else
        ShowAllItems();
    RefreshStatusBar();
}

void TfrmMain::ShowSiteItems(std::int32_t id)
{
    const QByteArray name = websites().WebsiteNameById(id);
    if (websites().indexOfId(id) >= 0)
        m_linksPane->setCaption(QStringLiteral("  Inbound Links for ") + FromAnsi(name));
}

void TfrmMain::ShowAllItems()
{
    m_linksPane->setCaption(QString::fromLatin1(LinksPane::AllWebsitesCaption));
}

void TfrmMain::RefreshStatusBar() {}

void TfrmMain::AddOwnNew() {}

void TfrmMain::EditOwnExist()
{
    const rMySiteInfo* site = m_websitesPane->focusedSite();
    if (!site || site->Id == 0)
        return;
}

void TfrmMain::DeleteOwnSelected()
{
    const int row = m_websitesPane->focusedRow();
    const rMySiteInfo* site = m_websitesPane->focusedSite();
    if (row < 0 || !site || site->Id == 0)
        return;
    const std::int32_t id = site->Id;
    const int links = LinkCountOfSite(id);
    const QString question = QStringLiteral("Delete the website \"%1\" and its %2 inbound link(s)?")
                                 .arg(FromAnsi(site->Name))
                                 .arg(links);
    if (!AskConfirm(this, question))
        return;

    // The root takes the focus first, so the list never shows the links of a website half gone.
    m_websitesPane->focusRoot();
    m_websitesPane->model().removeWebsite(row);
    // Links belong to an Id; another website may still carry the same one in a hand-edited file.
    if (websites().indexOfId(id) < 0)
        RemoveLinksOfSite(id);
    RefreshNewByMy();
    RefreshStatusBar();
    SaveWebsites();
}

void TfrmMain::AddNew() {}
void TfrmMain::EditExist() {}
void TfrmMain::DeleteSelected() {}
void TfrmMain::SelectAll() {}
void TfrmMain::ArrangeItem(int) {}
void TfrmMain::StartAll() {}
void TfrmMain::StartSelected() {}
void TfrmMain::ToolButton1Click() {}
void TfrmMain::Backup() {}
void TfrmMain::Restore() {}
void TfrmMain::ImportInbound() {}
void TfrmMain::GenerateReport() {}
void TfrmMain::OpenOptions() {}
void TfrmMain::Help2Click() {}
void TfrmMain::Contact() {}
void TfrmMain::OpenAbout() {}
void TfrmMain::NewByMyClick(std::int32_t) {}

void TfrmMain::SendEmail()
{
    SendEmailTo(SelectedLinks());
}

void TfrmMain::OpenUrlWithIE()
{
    OpenPagesOf(SelectedLinks());
}

void TfrmMain::LoadWebsites() {}
void TfrmMain::SaveWebsites() {}
void TfrmMain::LoadLinks() {}
void TfrmMain::SaveLinks() {}

int TfrmMain::LinkCountOfSite(std::int32_t) const
{
    return 0;
}

void TfrmMain::RemoveLinksOfSite(std::int32_t) {}

std::vector<LinkRecord> TfrmMain::SelectedLinks() const
{
    return {};
}
