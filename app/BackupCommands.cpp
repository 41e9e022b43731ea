#include "app/BackupCommands.h"

#include "dialogs/FileDialogs.h"
#include "dialogs/Prompts.h"
#include "model/Backup.h"
#include "model/DataFolder.h"
#include "model/ProductInfo.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

namespace {

FileDialogRequest BackupFileRequest(const QString& title, const QString& initialPath)
{
    return FileDialogRequest{title, QStringLiteral("Backup files (*.bak)"), QLatin1StringView(BackupExtension),
                             initialPath};
}

}  // namespace

BackupCommands::BackupCommands(QWidget* parent, Hooks hooks) : m_parent(parent), m_hooks(std::move(hooks))
{
}

QString BackupCommands::ConfirmQuestion()
{
    return QStringLiteral(
        "All your current settings about your websites and its inbound links will be overwritten, are you sure?");
}

QString BackupCommands::NotABackupText(const QString& path)
{
    return QStringLiteral("\"%1\" is not a backup file of %2. Nothing has been restored.")
        .arg(QDir::toNativeSeparators(path), QLatin1StringView(ProductName));
}

QString BackupCommands::ReplaceQuestion(const QString& path)
{
    return QStringLiteral("\"%1\" already exists. Do you want to replace it?").arg(QDir::toNativeSeparators(path));
}

void BackupCommands::Backup()
{
    // A dated name in the home folder, so that backups taken on different days do not replace each other.
    const QString proposed = QDir::home().filePath(
        QStringLiteral("%1 %2.bak").arg(QLatin1StringView(ProductName), QDate::currentDate().toString(Qt::ISODate)));
    QString path = fileDialogs().saveFileName(m_parent, BackupFileRequest(QStringLiteral("Backup Settings"), proposed));
    if (path.isEmpty())
        return;
    const QString completed = WithDefaultExtension(path, QLatin1StringView(BackupExtension));
    // The dialog asked about the name as typed; a file under the completed name would be replaced unasked.
    if (completed != path && QFileInfo::exists(completed) && !AskConfirm(m_parent, ReplaceQuestion(completed)))
        return;
    path = completed;
    if (m_hooks.beforeReading)
        m_hooks.beforeReading();
    // Read everything before the backup file is touched: a missing data file leaves no backup.
    const BackupParts parts = ReadDataFiles(DataFolder());
    WriteBackupFile(path, parts);
}

void BackupCommands::Restore()
{
    const QString path =
        fileDialogs().openFileName(m_parent, BackupFileRequest(QStringLiteral("Restore Settings"), QDir::homePath()));
    if (path.isEmpty())
        return;
    const std::optional<BackupParts> parts = SplitBackup(ReadWholeFile(path));
    if (!parts) {
        ShowWarning(m_parent, NotABackupText(path));
        return;
    }
    if (!AskConfirm(m_parent, ConfirmQuestion()))
        return;
    if (m_hooks.beforeWriting)
        m_hooks.beforeWriting();
    // The lists are emptied only once all three files are in place: a failure leaves the window
    // showing, and a later close saving, what the files held before.
    WriteDataFiles(DataFolder(), *parts);
    if (m_hooks.reload)
        m_hooks.reload();
}
