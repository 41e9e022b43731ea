#pragma once

class TfrmMain;

// The "My websites" commands: new, modify and delete the user's own websites. Each change reaches
// MySites.txt at once.
class WebsiteCommands {
public:
    explicit WebsiteCommands(TfrmMain& window) : m_window(window) {}

    void AddOwnNew();
    // The focused website; nothing for the root or no node.
    void EditOwnExist();
    // The focused website and, once the user agrees, its inbound links.
    void DeleteOwnSelected();

private:
    void SaveWebsites();

    TfrmMain& m_window;
};
