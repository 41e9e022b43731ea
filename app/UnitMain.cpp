#include "app/UnitMain.h"

#include "app/BackupCommands.h"
#include "app/DetailsPane.h"
#include "app/FramePacer.h"
#include "app/HelpCommands.h"
#include "app/HistoryTab.h"
#include "app/LinksPane.h"
#include "app/MainCommands.h"
#include "app/SideSplitter.h"
#include "app/WebsiteCommands.h"
#include "app/WebsiteTreeModel.h"
#include "app/WebsitesPane.h"
#include "app/WindowHistory.h"
#include "app/WindowState.h"
#include "check/CheckDispatcher.h"
#include "dialogs/AnsiText.h"
#include "dialogs/ErrorBox.h"
#include "dialogs/Prompts.h"
#include "dialogs/UnitEditItem.h"
#include "model/DataFiles.h"
#include "model/DataFolder.h"
#include "model/HistoryStore.h"
#include "model/LinkList.h"
#include "model/LinksSaver.h"
#include "model/SettingsFile.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include <cstdio>
#include <optional>
#include <utility>

namespace {

// The splitter's cursor comes from "mouse.ico" in the current directory, not AppDir; without it
// the splitter shows the default arrow.
QCursor SplitterCursor()
{
    const QPixmap image(QStringLiteral("mouse.ico"));
    return image.isNull() ? QCursor(Qt::ArrowCursor) : QCursor(image);
}

}  // namespace

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent), m_formats(LocaleFormats::system()), m_links(std::make_unique<LinkList>())
{
    setWindowTitle(QStringLiteral("Quorvane"));
    buildLayout();
    buildStatusBar();
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    // Checks still running must find nothing of the window to report to.
    if (m_dispatcher)
        m_dispatcher->shutdown();
    // Commits what checks recorded; no check reaches it any more.
    m_linksPane->details()->historyTab()->setStore(nullptr);
    delete std::exchange(m_history, nullptr);
    // It reads the links list, which goes before the window's children do. A write in flight ends
    // first; what is pending was the close's to write.
    delete std::exchange(m_saver, nullptr);
    // The panes call into the window and the links list while they go, so they go first; the list
    // stops looking at the websites before they go.
    m_linksPane->setWebsites(nullptr);
    delete m_websitesPane;
    delete m_linksPane;
}

void TfrmMain::buildLayout()
{
    m_commands = new MainCommands(*this);

    m_websitesPane = new WebsitesPane(this);
    m_websitesPane->setToolBar(m_commands->ToolBarMySites());
    m_linksPane = new LinksPane(*m_links, m_formats, &websites(), this);
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
    connect(m_linksPane, &LinksPane::rowActivated, this, [this] { RunGuarded(this, [this] { EditExist(); }); });
    connect(m_linksPane, &LinksPane::headerClicked, this,
            [this](int column) { RunGuarded(this, [this, column] { VSTItemHeaderClick(column); }); });
    connect(m_linksPane, &LinksPane::searchChanged, this,
            [this](const QString& text) { RunGuarded(this, [this, text] { EditSearchChange(text); }); });
}

void TfrmMain::createSaver()
{
    m_saver = new LinksSaver(*m_links, m_appDir, m_formats, this);
    m_saver->setChecksRunning([this] { return m_walks > 0 || m_dispatcher->RunningChecks() > 0; });
    connect(m_saver, &LinksSaver::saveFailed, this, [this](const QString& text) {
        m_saveNote->setText(QStringLiteral("Inbound links not saved"));
        m_saveNote->setToolTip(text);
        m_saveNote->show();
    });
    connect(m_saver, &LinksSaver::saveRecovered, m_saveNote, &QLabel::hide);
}

const WebsiteTree& TfrmMain::websites() const
{
    return m_websitesPane->model().tree();
}

void TfrmMain::FormCreate()
{
    m_appDir = DataFolder();
    // A first start makes the folder; should that fail, the first save names the cause.
    MakeDataFolder(m_appDir);
    // A restore runs this again while checks run; each reads the settings through a copy of its own.
    // The dispatcher reads through this one, so for the same path it stays, and it is only ever
    // reassigned.
    const QString settingsPath = m_appDir + QStringLiteral("config.ini");
    if (!m_settings)
        m_settings = std::make_unique<SettingsFile>(settingsPath);
    else if (m_settings->path() != settingsPath)
        *m_settings = SettingsFile(settingsPath);
    if (!m_dispatcher) {
        // One dispatcher for the window's life: a restore may run inside a walk's wait, and that
        // walk goes on in it afterwards.
        m_dispatcher = std::make_unique<CheckDispatcher>(*m_links, websites(), *m_settings);
        m_dispatcher->setRefreshStatusBar([this] {
            m_linksPane->pacer().request(m_statusBarStep);
            if (m_saver)
                m_saver->noteChange(LinksSaver::Change::CheckResult);
        });
        m_dispatcher->setShowInformation([this](const QString& text) { ShowInformation(this, text); });
        m_history = new WindowHistory([this](const QString& text) { ShowWarning(this, text); }, this);
        connect(m_history, &WindowHistory::committed, m_linksPane->details()->historyTab(),
                &HistoryTab::historyChanged);
    }
    // Reads every link's latest check while the files load.
    m_history->open(m_appDir);
    m_dispatcher->setRecorder(m_history->store());
    m_linksPane->details()->historyTab()->setStore(m_history->store());
    m_websitesPane->model().reset([this](WebsiteTree& tree) {
        tree.AddRootWebsite();
        ::LoadWebsites(m_appDir, tree);
    });
    if (!m_saver)
        createSaver();
    m_saver->setAppDir(m_appDir);
    RefreshNewByMy();
    LoadLinks();
    // The list is what the file holds.
    m_saver->discardPending();
    RefreshStatusBar();
    RestoreWindowState();
    m_splitter->setHandleCursor(SplitterCursor());
}

void TfrmMain::EmptyLists()
{
    m_links->clear();
    m_websitesPane->model().reset([](WebsiteTree& tree) { tree.clear(); });
}

void TfrmMain::FormClose()
{
    m_dispatcher->ToolButton1Click();
    // The file gets the order the list shows.
    m_linksPane->pacer().flush();
    // Also when nothing changed: the file is then exactly what the list holds.
    SaveLinks();
    SaveWindowState();
    // Only now: a failed save keeps the window open, and checking must go on working in it. From
    // here on, results are dropped and the fetches in flight are cancelled.
    m_dispatcher->shutdown();
}

bool TfrmMain::stopRequested() const
{
    return m_dispatcher->StopRequested();
}

void TfrmMain::RestoreWindowState()
{
    WindowState::Restore(*m_settings, *this, *m_websitesPane, *m_linksPane);
}

void TfrmMain::SaveWindowState()
{
    WindowState::Save(*m_settings, *this, *m_websitesPane, *m_linksPane);
}

bool TfrmMain::closeUnattended()
{
    m_unattendedClose = true;
    const bool closed = close();
    m_unattendedClose = false;
    return closed;
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    try {
        FormClose();
        event->accept();
    } catch (...) {
        // Everything is still in memory: the user can mend the cause and close again.
        event->ignore();
        if (!m_unattendedClose) {
            ShowFailure(this);
            return;
        }
        const QByteArray text = QStringLiteral("Quorvane: %1\n").arg(WithFullStop(CurrentFailureText())).toLocal8Bit();
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
        std::fflush(stderr);
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
    m_linksPane->websitesChanged();
    EditSearchChange(QString::fromUtf8(m_links->search().text()));
}

void TfrmMain::VSTExplorerFocusChanged(std::int32_t id)
{
    m_linksPane->setAllWebsitesFocused(id == 0);
    if (id != 0)
        ShowSiteItems(id);
    else
        ShowAllItems();
    RefreshStatusBar();
}

void TfrmMain::ShowSiteItems(std::int32_t id)
{
    if (const std::optional<QByteArray> caption = m_links->ShowSiteItems(id, websites()))
        m_linksPane->setCaption(FromAnsi(*caption) + changesCaption());
}

void TfrmMain::ShowAllItems()
{
    m_linksPane->setCaption(FromAnsi(m_links->ShowAllItems()) + changesCaption());
}

QString TfrmMain::changesCaption() const
{
    return m_links->changedOnly() ? QStringLiteral(" that changed at their last check") : QString();
}

void TfrmMain::ShowChanges(bool on)
{
    m_links->setChangedOnly(on);
    m_linksPane->setChangesShown(on);
    VSTExplorerFocusChanged(m_websitesPane->focusedId());
}

void TfrmMain::EditSearchChange(const QString& text)
{
    m_links->setSearch(text.toUtf8(), websites());
    RefreshStatusBar();
}

void TfrmMain::ForgetHistoryOf(const std::vector<LinkRecord>& gone)
{
    std::vector<LinkKey> keys;
    keys.reserve(gone.size());
    for (const LinkRecord& link : gone)
        keys.push_back(LinkKey{link->SiteId, link->PageUrl});
    m_history->forget(keys, *m_links);
}

bool TfrmMain::RequireSelection()
{
    return m_dispatcher->RequireSelection();
}

void TfrmMain::VSTItemHeaderClick(int column)
{
    m_links->VSTItemHeaderClick(column);
    m_saver->noteChange(LinksSaver::Change::Order);
}

void TfrmMain::AddOwnNew()
{
    WebsiteCommands(*this).AddOwnNew();
}

void TfrmMain::EditOwnExist()
{
    WebsiteCommands(*this).EditOwnExist();
}

void TfrmMain::DeleteOwnSelected()
{
    WebsiteCommands(*this).DeleteOwnSelected();
}

void TfrmMain::AddNew()
{
    // The website shown in the websites pane, as its New drop-down would; none for the root.
    AddItemForSite(m_websitesPane->focusedId());
}

void TfrmMain::NewByMyClick(std::int32_t id)
{
    AddItemForSite(id);
}

void TfrmMain::AddItemForSite(std::int32_t id)
{
    ::AddItemForSite(this, websites(), *m_links, id, [this](const rMonitorInfo& link) {
        m_history->forgetEarlierLinks({&link}, *m_links);
        m_saver->noteChange(LinksSaver::Change::Edit);
        RefreshStatusBar();
        SelectWebsiteById(link.SiteId);
    });
}

void TfrmMain::EditExist()
{
    if (!RequireSelection())
        return;
    // The first selected row in list order, also when the website filter hides it.
    const LinkRecord record = m_links->firstSelected();
    if (!record)
        return;
    // An edited address or website is another link, as the edit's fresh verdict says: the history
    // of the old one goes, as a deleted link's does.
    const LinkKey before{record->SiteId, record->PageUrl};
    if (!EditItem(this, websites(), *m_links, record))
        return;
    if (before != LinkKey{record->SiteId, record->PageUrl}) {
        m_history->forget({before}, *m_links);
        m_history->forgetEarlierLinks({record.get()}, *m_links);
    }
    m_saver->noteChange(LinksSaver::Change::Edit);
    SelectWebsiteById(record->SiteId);
    // A link moved into the website shown while the focus stayed follows the filter, and a new
    // address resets the verdict, which the counts must show.
    const std::int32_t shown = m_websitesPane->focusedId();
    if (shown != 0 && (record->SiteId == shown) != m_links->isVisible(*record))
        ShowSiteItems(shown);
    RefreshStatusBar();
}

void TfrmMain::DeleteSelected()
{
    // Only rows the user can see are deleted; selected rows that the filter hides stay.
    const int shown = static_cast<int>(m_links->selectedRecords(true).size());
    if (shown == 0) {
        ShowInformation(this, QStringLiteral("Please Select a inbound link"));
        return;
    }
    if (!AskConfirm(this, QStringLiteral("Delete %1 selected inbound link(s)?").arg(shown)))
        return;
    const std::vector<LinkRecord> gone = m_links->selectedRecords(true);
    m_links->DeleteSelected(true);
    ForgetHistoryOf(gone);
    m_saver->noteChange(LinksSaver::Change::Edit);
    RefreshStatusBar();
}

void TfrmMain::SelectAll()
{
    m_links->SelectAll();
}

void TfrmMain::ArrangeItem(int entry)
{
    m_links->ArrangeItem(entry);
    m_saver->noteChange(LinksSaver::Change::Order);
}

void TfrmMain::StartAll()
{
    ++m_walks;
    const auto ended = qScopeGuard([this] { --m_walks; });
    m_dispatcher->StartAll();
}

void TfrmMain::StartSelected()
{
    ++m_walks;
    const auto ended = qScopeGuard([this] { --m_walks; });
    m_dispatcher->StartSelected();
}

void TfrmMain::ToolButton1Click()
{
    m_dispatcher->ToolButton1Click();
}

void TfrmMain::Backup()
{
    BackupCommands::Hooks hooks;
    // The backup holds the links as the list has them, not as the last write left them.
    hooks.beforeReading = [this] { m_saver->flush(); };
    BackupCommands(this, std::move(hooks)).Backup();
}

void TfrmMain::Restore()
{
    BackupCommands::Hooks hooks;
    // A write still in flight must not land on the restored file.
    hooks.beforeWriting = [this] { m_saver->waitForWrite(); };
    // A walk would go on over the restored rows, which nobody asked to check, so it ends. Emptying
    // the list detaches every row from its check worker: late results change nothing.
    hooks.reload = [this] {
        ToolButton1Click();
        EmptyLists();
        FormCreate();
    };
    BackupCommands(this, std::move(hooks)).Restore();
}

void TfrmMain::LoadLinks()
{
    ::LoadLinks(m_appDir, *m_links, m_formats,
                [this](std::vector<LinkRecord>& records) { m_history->restore(records); });
}

void TfrmMain::SaveLinks()
{
    m_saver->saveNow();
}

std::vector<LinkRecord> TfrmMain::SelectedLinks() const
{
    return m_links->selectedRecords(false);
}
