#pragma once

#include <QObject>

#include <array>
#include <cstdint>

class QAction;
class QMenu;
class QToolBar;
class QToolButton;
class TfrmMain;
class WebsiteTree;

// The main window's menu bar, pop-up menus and tool bars, each entry bound to its command.
class MainCommands : public QObject {
    Q_OBJECT

public:
    explicit MainCommands(TfrmMain& window);

    QToolBar* ToolBarMySites() const { return m_toolBarMySites; }
    QToolBar* ToolBar1() const { return m_toolBar1; }
    QMenu* PMExplorer() const { return m_pmExplorer; }
    QMenu* PMIL() const { return m_pmIl; }
    QMenu* PMNewByMy() const { return m_pmNewByMy; }

    // One PMNewByMy entry per website, in tree order: the caption is the Name, the data the Id.
    void RefreshNewByMy(const WebsiteTree& websites);

private:
    // An action whose trigger runs the command, failures going to the error box.
    template <typename Command>
    QAction* command(const QString& text, Command&& run);
    QToolButton* toolButton(QToolBar* bar, const char* name, const QString& caption, const char* icon,
                            const QString& tip);

    void buildMenuBar();
    void buildPopups();
    void buildToolBars();

    TfrmMain& m_window;
    QToolBar* m_toolBarMySites = nullptr;
    QToolBar* m_toolBar1 = nullptr;
    QMenu* m_pmExplorer = nullptr;
    QMenu* m_pmIl = nullptr;
    QMenu* m_pmNewByMy = nullptr;

    // Entries that the "&Inbound links" menu and PMIL share, so each shortcut has one owner.
    QAction* m_newItem = nullptr;
    QAction* m_editItem = nullptr;
    QAction* m_deleteItems = nullptr;
    QAction* m_selectAll = nullptr;
    QAction* m_report = nullptr;
    std::array<QAction*, 8> m_arrange{};
};
