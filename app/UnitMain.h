#pragma once

#include "model/DateTime.h"
#include "model/Records.h"

#include <QMainWindow>

#include <cstdint>
#include <memory>
#include <vector>

class CheckDispatcher;
class LinkList;
class LinksPane;
class LinksSaver;
class MainCommands;
class QLabel;
class SettingsFile;
class SideSplitter;
class WebsiteTree;
class WebsitesPane;
class WindowHistory;

// The main window: the websites pane on the left, the inbound links list on the right, their tool
// bars, the menu bar and the status bar. Creating it runs the start-up sequence; closing it saves.
class TfrmMain : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int StatusPanelCount = 6;

    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Start-up. Runs again on the same window, after EmptyLists, when a backup is restored.
    void FormCreate();
    void EmptyLists();
    // Shut-down: stops the check walk and saves; throws when a save fails, which keeps the window open.
    void FormClose();
    // The close that a logout or a signal asks for: as the user's, but a failed save goes to
    // standard error instead of a box that nobody would answer. The window then stays open with
    // all data in memory. True when the window closed.
    bool closeUnattended();
    void RestoreWindowState();
    void SaveWindowState();

    SettingsFile& settings() const { return *m_settings; }
    // The data folder the files were loaded from, with a trailing '/'.
    const QString& appDir() const { return m_appDir; }
    const WebsiteTree& websites() const;
    LinkList& links() const { return *m_links; }
    LinksSaver& saver() const { return *m_saver; }
    const LocaleFormats& formats() const { return m_formats; }
    WebsitesPane& websitesPane() const { return *m_websitesPane; }
    LinksPane& linksPane() const { return *m_linksPane; }
    SideSplitter& splitter() const { return *m_splitter; }
    MainCommands& commands() const { return *m_commands; }
    QLabel* statusPanel(int index) const { return m_statusPanels.at(static_cast<std::size_t>(index)); }
    CheckDispatcher& dispatcher() const { return *m_dispatcher; }
    WindowHistory& history() const { return *m_history; }
    bool stopRequested() const;

    // The websites pane.
    void SelectWebsiteById(std::int32_t id);
    // After every change to the websites: the New drop-down menu, the Website column, and the search,
    // which reads their names.
    void RefreshNewByMy();
    void VSTExplorerFocusChanged(std::int32_t id);
    void ShowSiteItems(std::int32_t id);
    void ShowAllItems();
    // "What Changed": only the links whose last check changed something, beside the website filter.
    void ShowChanges(bool on);
    // The search field: of the links of the website shown, the list shows those matching its text.
    void EditSearchChange(const QString& text);

    void RefreshStatusBar();
    // These links went: their check history goes too (unless another row has the same link).
    void ForgetHistoryOf(const std::vector<LinkRecord>& gone);
    // Tells the user to select a link when no row is selected (a hidden selected row counts);
    // true when some row is selected.
    bool RequireSelection();
    void VSTItemHeaderClick(int column);

    // Commands.
    void AddOwnNew();
    void EditOwnExist();
    void DeleteOwnSelected();
    void AddNew();
    void EditExist();
    void DeleteSelected();
    void SelectAll();
    // An entry of the "Arrange By" submenu, by its position there.
    void ArrangeItem(int entry);
    void StartAll();
    void StartSelected();
    void ToolButton1Click();
    void Backup();
    void Restore();
    void ImportInbound();
    // The shown rows, every column and their details, into a CSV file the user picks.
    void ExportCsv();
    void GenerateReport();
    void OpenOptions();
    void Help2Click();
    void Contact();
    void OpenAbout();
    void SendEmail();
    void OpenUrlWithIE();
    void NewByMyClick(std::int32_t id);
    // New inbound links for this website (none chosen for 0), one dialog after another while the
    // user saves with "S&ave && New".
    void AddItemForSite(std::int32_t id);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    void buildStatusBar();
    void createSaver();
    void LoadLinks();
    QString changesCaption() const;
    void SaveLinks();
    // The selected links in list order, hidden ones included.
    std::vector<LinkRecord> SelectedLinks() const;

    LocaleFormats m_formats;
    std::unique_ptr<LinkList> m_links;
    QString m_appDir;
    std::unique_ptr<SettingsFile> m_settings;
    // Holds references to the links list, the websites tree and the settings object, which all
    // outlive it: it is shut down before any of them goes.
    std::unique_ptr<CheckDispatcher> m_dispatcher;
    // The check history; goes after the dispatcher has shut down, which ends its use by checks.
    WindowHistory* m_history = nullptr;
    // Writes Items.txt soon after each change; the close writes it once more, synchronously.
    LinksSaver* m_saver = nullptr;
    int m_statusBarStep = -1;  // of the links pane's frames
    QLabel* m_saveNote = nullptr;
    int m_walks = 0;  // check walks running, nested ones included
    bool m_shown = false;
    bool m_unattendedClose = false;

    WebsitesPane* m_websitesPane = nullptr;
    LinksPane* m_linksPane = nullptr;
    SideSplitter* m_splitter = nullptr;
    MainCommands* m_commands = nullptr;
    std::vector<QLabel*> m_statusPanels;
};
