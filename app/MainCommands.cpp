#include "app/MainCommands.h"

#include "app/Artwork.h"
#include "app/LinksPane.h"
#include "app/UnitMain.h"
#include "dialogs/AnsiText.h"
#include "dialogs/ErrorBox.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace {

// A caption shown in a menu: '&' stays a character, not a mnemonic.
QString MenuText(QByteArrayView name)
{
    return FromAnsi(name).replace(u'&', QStringLiteral("&&"));
}

}  // namespace

MainCommands::MainCommands(TfrmMain& window) : QObject(&window), m_window(window)
{
    buildPopups();
    buildMenuBar();
    buildToolBars();
}

template <typename Command>
QAction* MainCommands::command(const QString& text, Command&& run)
{
    auto* action = new QAction(text, &m_window);
    connect(action, &QAction::triggered, &m_window,
            [window = &m_window, run = std::forward<Command>(run)] { RunGuarded(window, run); });
    return action;
}

void MainCommands::buildPopups()
{
    TfrmMain* w = &m_window;
    m_newItem = command(QStringLiteral("New..."), [w] { w->AddNew(); });
    m_newItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    m_editItem = command(QStringLiteral("Modify..."), [w] { w->EditExist(); });
    m_editItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    m_deleteItems = command(QStringLiteral("Delete"), [w] { w->DeleteSelected(); });
    m_deleteItems->setShortcut(QKeySequence(Qt::Key_Delete));
    m_selectAll = command(QStringLiteral("Select All"), [w] { w->SelectAll(); });
    m_selectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    m_report = command(QStringLiteral("&Report"), [w] { w->GenerateReport(); });

    m_pmExplorer = new QMenu(w);
    m_pmExplorer->setObjectName(QStringLiteral("PMExplorer"));
    m_pmExplorer->addAction(command(QStringLiteral("New..."), [w] { w->AddOwnNew(); }));
    m_pmExplorer->addAction(command(QStringLiteral("Modify..."), [w] { w->EditOwnExist(); }));
    m_pmExplorer->addAction(command(QStringLiteral("Delete"), [w] { w->DeleteOwnSelected(); }));

    m_pmIl = new QMenu(w);
    m_pmIl->setObjectName(QStringLiteral("PMIL"));
    QMenu* arrange = m_pmIl->addMenu(QStringLiteral("Arrange By"));
    static constexpr const char* ArrangeEntries[8] = {"Result",    "Name",     "Url",     "First name",
                                                      "Last name", "E - mail", "Created", "Last monitor"};
    for (int entry = 0; entry < static_cast<int>(m_arrange.size()); ++entry) {
        QAction* action = command(QString::fromLatin1(ArrangeEntries[entry]), [w, entry] { w->ArrangeItem(entry); });
        action->setCheckable(true);
        // A mark, once set, stays: a second click on the entry sorts again but keeps its mark.
        connect(action, &QAction::triggered, action, [action] { action->setChecked(true); });
        arrange->addAction(action);
        m_arrange[static_cast<std::size_t>(entry)] = action;
    }
    m_pmIl->addSeparator();
    m_pmIl->addActions({m_newItem, m_editItem, m_deleteItems});
    m_pmIl->addSeparator();
    m_pmIl->addAction(m_selectAll);
    m_pmIl->addSeparator();
    m_pmIl->addAction(command(QStringLiteral("Check selected"), [w] { w->StartSelected(); }));
    m_pmIl->addSeparator();
    m_pmIl->addAction(command(QStringLiteral("&Open url with IE..."), [w] { w->OpenUrlWithIE(); }));
    m_pmIl->addAction(command(QStringLiteral("Send E - &mail..."), [w] { w->SendEmail(); }));
    m_pmIl->addSeparator();
    m_pmIl->addAction(m_report);

    m_pmNewByMy = new QMenu(w);
    m_pmNewByMy->setObjectName(QStringLiteral("PMNewByMy"));
}

void MainCommands::buildMenuBar()
{
    TfrmMain* w = &m_window;
    QMenuBar* bar = w->menuBar();

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->addAction(command(QStringLiteral("&Backup settings..."), [w] { w->Backup(); }));
    file->addAction(command(QStringLiteral("&Restore settings..."), [w] { w->Restore(); }));
    file->addSeparator();
    file->addAction(command(QStringLiteral("&Import inbound links from file..."), [w] { w->ImportInbound(); }));
    file->addAction(command(QStringLiteral("Export to &CSV..."), [w] { w->ExportCsv(); }));
    file->addSeparator();
    QAction* exit = command(QStringLiteral("E&xit"), [w] { w->close(); });
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    file->addAction(exit);

    QMenu* sites = bar->addMenu(QStringLiteral("&My websites"));
    sites->addAction(command(QStringLiteral("&New..."), [w] { w->AddOwnNew(); }));
    sites->addAction(command(QStringLiteral("M&odify..."), [w] { w->EditOwnExist(); }));
    sites->addAction(command(QStringLiteral("&Delete"), [w] { w->DeleteOwnSelected(); }));

    QMenu* links = bar->addMenu(QStringLiteral("&Inbound links"));
    links->addActions({m_newItem, m_editItem, m_deleteItems});
    links->addSeparator();
    links->addAction(m_selectAll);
    links->addSeparator();
    links->addAction(m_report);

    QMenu* check = bar->addMenu(QStringLiteral("&Check"));
    QAction* checkAll = command(QStringLiteral("Check &All"), [w] { w->StartAll(); });
    // The first key is the one the menu shows.
    checkAll->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_R), QKeySequence(Qt::Key_F5)});
    check->addAction(checkAll);
    check->addAction(command(QStringLiteral("Check &Selected"), [w] { w->StartSelected(); }));
    check->addSeparator();
    check->addAction(command(QStringLiteral("S&top"), [w] { w->ToolButton1Click(); }));

    // The links list's own view, beside the commands of the menus above.
    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    QAction* details = command(QStringLiteral("&Details"), [w] {
        LinksPane& pane = w->linksPane();
        pane.setDetailsShown(!pane.detailsShown());
    });
    details->setObjectName(QStringLiteral("ShowDetails"));
    details->setCheckable(true);
    details->setShortcut(QKeySequence(Qt::Key_F11));
    // The pane's state is the truth; the tick only shows it.
    connect(details, &QAction::triggered, details,
            [w, details] { details->setChecked(w->linksPane().detailsShown()); });
    connect(view, &QMenu::aboutToShow, details, [w, details] { details->setChecked(w->linksPane().detailsShown()); });
    view->addAction(details);
    QAction* changes = command(QStringLiteral("What &Changed"), [w] { w->ShowChanges(!w->links().changedOnly()); });
    changes->setObjectName(QStringLiteral("ShowChanges"));
    changes->setCheckable(true);
    changes->setShortcut(QKeySequence(Qt::Key_F9));
    changes->setToolTip(QStringLiteral("Show only the links whose last check changed something"));
    connect(changes, &QAction::triggered, changes, [w, changes] { changes->setChecked(w->links().changedOnly()); });
    connect(view, &QMenu::aboutToShow, changes, [w, changes] { changes->setChecked(w->links().changedOnly()); });
    view->addAction(changes);

    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    tools->addAction(command(QStringLiteral("&Options"), [w] { w->OpenOptions(); }));

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    QAction* helpFile = command(QStringLiteral("Help"), [w] { w->Help2Click(); });
    helpFile->setShortcut(QKeySequence(Qt::Key_F1));
    help->addAction(helpFile);
    help->addAction(command(QStringLiteral("&Contact us..."), [w] { w->Contact(); }));
    help->addAction(command(QStringLiteral("&About..."), [w] { w->OpenAbout(); }));
}

QToolButton* MainCommands::toolButton(QToolBar* bar, const char* name, const QString& caption, const char* icon,
                                      const QString& tip)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setIcon(Artwork::tool(icon));
    button->setToolTip(tip);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(QSize(24, 24));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(button);
    return button;
}

void MainCommands::buildToolBars()
{
    TfrmMain* w = &m_window;
    auto bind = [w](QToolButton* button, auto run) {
        connect(button, &QToolButton::clicked, w, [w, run] { RunGuarded(w, run); });
    };
    auto makeBar = [w](const char* name) {
        auto* bar = new QToolBar(w);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setIconSize(QSize(24, 24));
        bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        bar->setContextMenuPolicy(Qt::PreventContextMenu);
        // Tight spacing, so the three website buttons fit the narrow websites side.
        bar->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; padding: 0px; border: 0px; }"
                                          "QToolBar::separator { width: 5px; }"));
        return bar;
    };

    m_toolBarMySites = makeBar("ToolBarMySites");
    bind(toolButton(m_toolBarMySites, "TBNewMySite", QStringLiteral("New"), "new",
                    QStringLiteral("Add your own website")),
         [w] { w->AddOwnNew(); });
    m_toolBarMySites->addSeparator();
    bind(toolButton(m_toolBarMySites, "TBModifyMySite", QStringLiteral("Modify"), "modify",
                    QStringLiteral("Edit your own website's properties")),
         [w] { w->EditOwnExist(); });
    m_toolBarMySites->addSeparator();
    bind(toolButton(m_toolBarMySites, "TBDelMySite", QStringLiteral("Delete"), "delete",
                    QStringLiteral("Delete selected website")),
         [w] { w->DeleteOwnSelected(); });

    m_toolBar1 = makeBar("ToolBar1");
    QToolButton* newItem =
        toolButton(m_toolBar1, "TBNewItem", QStringLiteral("New"), "new", QStringLiteral("Add a new inbound link"));
    newItem->setMenu(m_pmNewByMy);
    newItem->setPopupMode(QToolButton::MenuButtonPopup);
    bind(newItem, [w] { w->AddNew(); });
    bind(toolButton(m_toolBar1, "ToolButton2", QStringLiteral("Modify"), "modify",
                    QStringLiteral("Edit inbound link properties")),
         [w] { w->EditExist(); });
    bind(toolButton(m_toolBar1, "ToolButton3", QStringLiteral("Delete"), "delete",
                    QStringLiteral("Delete selected inbound link")),
         [w] { w->DeleteSelected(); });
    m_toolBar1->addSeparator();
    bind(toolButton(m_toolBar1, "ToolButtonRun", QStringLiteral("Check"), "check", QStringLiteral("Start checking")),
         [w] { w->StartAll(); });
    bind(toolButton(m_toolBar1, "ToolButton1", QStringLiteral("Stop"), "stop", QString()),
         [w] { w->ToolButton1Click(); });
    m_toolBar1->addSeparator();
    bind(toolButton(m_toolBar1, "ToolButtonReport", QStringLiteral("Report"), "report",
                    QStringLiteral("Generate report")),
         [w] { w->GenerateReport(); });
    m_toolBar1->addSeparator();
    bind(toolButton(m_toolBar1, "ToolButton6", QStringLiteral("Options"), "options", QString()),
         [w] { w->OpenOptions(); });
    bind(toolButton(m_toolBar1, "ToolButton7", QStringLiteral("Help"), "help", QString()), [w] { w->Help2Click(); });

    for (QToolBar* bar : {m_toolBarMySites, m_toolBar1})
        bar->setFixedHeight(std::max(48, bar->sizeHint().height()));
}

void MainCommands::RefreshNewByMy(const WebsiteTree& websites)
{
    m_pmNewByMy->clear();
    TfrmMain* w = &m_window;
    for (const rMySiteInfo& site : websites.children()) {
        const std::int32_t id = site.Id;
        QAction* entry = command(MenuText(site.Name), [w, id] { w->NewByMyClick(id); });
        entry->setParent(m_pmNewByMy);
        entry->setData(id);
        m_pmNewByMy->addAction(entry);
    }
}
