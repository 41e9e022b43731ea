#pragma once

#include <QString>

#include <functional>

class QWidget;

// The File menu's backup and restore. A backup copies the three data files as they are on disk into
// one file; a restore writes them back, all three or none, and then has the window load them anew.
class BackupCommands {
public:
    struct Hooks {
        // Runs before a backup reads the files: pending changes go to disk first.
        std::function<void()> beforeReading;
        // Runs once a restore is confirmed, before the files are replaced.
        std::function<void()> beforeWriting;
        // Runs after a restore has replaced the files: it detaches every row from its check worker,
        // empties both lists and runs the start-up sequence again.
        std::function<void()> reload;
    };

    BackupCommands(QWidget* parent, Hooks hooks);

    void Backup();
    void Restore();

    static QString ConfirmQuestion();
    // Asked when ".bak" was added to the chosen name and a file of the completed name exists.
    static QString ReplaceQuestion(const QString& path);
    // The warning for a chosen file that is not a backup.
    static QString NotABackupText(const QString& path);

private:
    QWidget* m_parent;
    Hooks m_hooks;
};
