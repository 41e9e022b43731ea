#pragma once

class LinksPane;
class QMainWindow;
class SettingsFile;
class WebsitesPane;

// The window state kept in config.ini: the current website, the window's size or its maximized
// state, the widths of the links list's columns and which of them show, and the details pane.
class WindowState {
public:
    // The size a maximized window returns to when it is restored to normal.
    static constexpr int DesignWidth = 793;
    static constexpr int DesignHeight = 553;

    // A window that is shown maximized keeps its state and size (a restore of a backup).
    static void Restore(const SettingsFile& settings, QMainWindow& window, WebsitesPane& websites, LinksPane& links);
    // Writes key by key; a refused write throws and leaves the keys after it unwritten.
    static void Save(SettingsFile& settings, const QMainWindow& window, const WebsitesPane& websites,
                     const LinksPane& links);
};
