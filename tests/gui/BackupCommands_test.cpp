#include "app/BackupCommands.h"
#include "model/AppError.h"
#include "support/FakeFileDialogs.h"
#include "support/FakePrompts.h"
#include "support/QtPrinters.h"
#include "support/TempAppDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Sep = QByteArray(48, '-');

const QByteArray OldSettings = "[Common]\r\nCurrentSite=1\r\n";
const QByteArray OldSites = "Old|||old.example|||1|||\r\n";
const QByteArray OldLinks = "1|||http://p.example/|||Ann|||Lee|||a@p.example|||1/2/2024|||12/30/1899|||\r\n";

// The commands on a temporary AppDir holding a set of data files, with the dialogs and boxes
// answered by the test. `reloads` counts how often the window would have loaded the files anew.
class BackupCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.write(u"config.ini"_s, OldSettings);
        dir.write(u"MySites.txt"_s, OldSites);
        dir.write(u"Items.txt"_s, OldLinks);
    }

    void expectOldFiles() const
    {
        EXPECT_EQ(dir.read(u"config.ini"_s), OldSettings);
        EXPECT_EQ(dir.read(u"MySites.txt"_s), OldSites);
        EXPECT_EQ(dir.read(u"Items.txt"_s), OldLinks);
    }

    // The failure text of a command, or empty when it did not fail.
    template <typename Command>
    static QString failureOf(Command&& command)
    {
        try {
            command();
        } catch (const AppError& e) {
            return e.text();
        }
        return {};
    }

    TempAppDir elsewhere;  // where the backups go
    TempAppDir dir;        // AppDir: the later of the two takes that place
    InstalledFakePrompts prompts;
    InstalledFakeFileDialogs dialogs;
    int reloads = 0;
    std::function<void()> beforeReading;
    std::function<void()> beforeWriting;
    BackupCommands commands{nullptr,
                            {[this] {
                                 if (beforeReading)
                                     beforeReading();
                             },
                             [this] {
                                 if (beforeWriting)
                                     beforeWriting();
                             },
                             [this] { ++reloads; }}};
};

// The window writes the links it holds just before a backup reads them, and lets a write in flight
// end before a restore replaces the files.
TEST_F(BackupCommandsTest, TheHooksRunAfterTheAnswersAndBeforeTheFilesAreTouched)
{
    int flushes = 0;
    beforeReading = [&] {
        ++flushes;
        dir.write(u"Items.txt"_s, "1|||http://pending.example/|||||||||||||||\r\n");
    };
    dialogs.queueFileName(QString());
    commands.Backup();
    EXPECT_EQ(flushes, 0) << "nothing is written for a cancelled backup";
    dialogs.queueFileName(elsewhere.file(u"now.bak"_s));
    commands.Backup();
    EXPECT_EQ(flushes, 1);
    EXPECT_TRUE(elsewhere.read(u"now.bak"_s).endsWith("http://pending.example/|||||||||||||||\r\n"));

    QByteArray seen = "<not run>";
    beforeWriting = [&] { seen = dir.read(u"MySites.txt"_s); };
    elsewhere.write(u"saved.bak"_s, Sep + "\r\n" + "New|||new.example|||7|||\r\n" + Sep + "\r\n");
    dialogs.queueFileName(elsewhere.file(u"saved.bak"_s));
    prompts.queueAnswer(false);
    commands.Restore();
    EXPECT_EQ(seen, "<not run>");
    dialogs.queueFileName(elsewhere.file(u"saved.bak"_s));
    prompts.queueAnswer(true);
    commands.Restore();
    EXPECT_EQ(seen, OldSites);
    EXPECT_EQ(dir.read(u"MySites.txt"_s), "New|||new.example|||7|||\r\n");
}

TEST_F(BackupCommandsTest, BackupAsksForAFileAndWritesTheThreeFilesIntoIt)
{
    dialogs.queueFileName(elsewhere.file(u"monday"_s));
    commands.Backup();

    ASSERT_EQ(dialogs.saved.size(), 1);
    EXPECT_EQ(dialogs.saved[0].title, u"Backup Settings"_s);
    EXPECT_EQ(dialogs.saved[0].filter, u"Backup files (*.bak)"_s);
    EXPECT_EQ(dialogs.saved[0].defaultExtension, u"bak"_s);
    // A name typed without an extension gets ".bak", also when the dialog did not add it.
    EXPECT_EQ(elsewhere.read(u"monday.bak"_s), OldSettings + Sep + "\r\n" + OldSites + Sep + "\r\n" + OldLinks);
    EXPECT_FALSE(QFile::exists(elsewhere.file(u"monday"_s)));

    // An existing backup is replaced whole (the dialog has asked).
    dir.write(u"Items.txt"_s, "");
    dialogs.queueFileName(elsewhere.file(u"monday.bak"_s));
    commands.Backup();
    EXPECT_EQ(elsewhere.read(u"monday.bak"_s), OldSettings + Sep + "\r\n" + OldSites + Sep + "\r\n");
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_TRUE(prompts.questions.isEmpty());

    // The dialog asked about "monday"; "monday.bak" is replaced only when the user agrees.
    dir.write(u"Items.txt"_s, OldLinks);
    dialogs.queueFileName(elsewhere.file(u"monday"_s));
    prompts.queueAnswer(false);
    commands.Backup();
    EXPECT_EQ(prompts.questions, QStringList{BackupCommands::ReplaceQuestion(elsewhere.file(u"monday.bak"_s))});
    EXPECT_EQ(elsewhere.read(u"monday.bak"_s), OldSettings + Sep + "\r\n" + OldSites + Sep + "\r\n");
    dialogs.queueFileName(elsewhere.file(u"monday"_s));
    prompts.queueAnswer(true);
    commands.Backup();
    EXPECT_TRUE(elsewhere.read(u"monday.bak"_s).endsWith(OldLinks));
    EXPECT_EQ(reloads, 0);
}

TEST_F(BackupCommandsTest, ABackupBeforeTheFirstCloseFailsNamingConfigIniAndWritesNothing)
{
    QFile::remove(dir.file(u"config.ini"_s));
    QFile::remove(dir.file(u"MySites.txt"_s));
    dialogs.queueFileName(elsewhere.file(u"first.bak"_s));
    const QString failure = failureOf([this] { commands.Backup(); });
    EXPECT_TRUE(failure.startsWith(u"Cannot open file \"%1\". "_s.arg(dir.file(u"config.ini"_s))))
        << failure.toStdString();
    EXPECT_FALSE(QFile::exists(elsewhere.file(u"first.bak"_s)));

    // Cancelling the dialog reads nothing and so fails nothing.
    EXPECT_EQ(failureOf([this] { commands.Backup(); }), QString());
}

TEST_F(BackupCommandsTest, RestoreAsksAfterSplittingThenWritesTheFilesAndReloads)
{
    const QByteArray backup = "[Common]\r\nCurrentSite=7\r\n" + Sep + "\r\nNew|||new.example|||7|||\r\n" + Sep + "\r\n";
    elsewhere.write(u"saved.bak"_s, backup);
    dialogs.queueFileName(elsewhere.file(u"saved.bak"_s));
    prompts.queueAnswer(true);
    commands.Restore();

    ASSERT_EQ(dialogs.opened.size(), 1);
    EXPECT_EQ(dialogs.opened[0].title, u"Restore Settings"_s);
    EXPECT_EQ(dialogs.opened[0].filter, u"Backup files (*.bak)"_s);
    EXPECT_EQ(prompts.questions, QStringList{BackupCommands::ConfirmQuestion()});
    EXPECT_EQ(
        BackupCommands::ConfirmQuestion(),
        u"All your current settings about your websites and its inbound links will be overwritten, are you sure?"_s);
    EXPECT_EQ(dir.read(u"config.ini"_s), "[Common]\r\nCurrentSite=7\r\n");
    EXPECT_EQ(dir.read(u"MySites.txt"_s), "New|||new.example|||7|||\r\n");
    EXPECT_TRUE(QFileInfo(dir.file(u"Items.txt"_s)).isFile());
    EXPECT_EQ(dir.read(u"Items.txt"_s), "");
    EXPECT_EQ(reloads, 1);
}

TEST_F(BackupCommandsTest, NoCancelAndAnUnreadableFileChangeNothing)
{
    elsewhere.write(u"saved.bak"_s, Sep + "\r\n" + Sep + "\r\n");
    dialogs.queueFileName(elsewhere.file(u"saved.bak"_s));
    prompts.queueAnswer(false);
    commands.Restore();
    EXPECT_EQ(prompts.questions.size(), 1);

    commands.Restore();  // the dialog cancelled

    dialogs.queueFileName(elsewhere.file(u"typed-but-missing.bak"_s));
    const QString failure = failureOf([this] { commands.Restore(); });
    EXPECT_TRUE(failure.startsWith(u"Cannot open file \"%1\". "_s.arg(elsewhere.file(u"typed-but-missing.bak"_s))));

    EXPECT_EQ(prompts.questions.size(), 1);
    EXPECT_TRUE(prompts.shown.isEmpty());
    expectOldFiles();
    EXPECT_EQ(reloads, 0);
}

TEST_F(BackupCommandsTest, AFileWithFewerThanTwoSeparatorsIsRefusedBeforeTheQuestion)
{
    for (const QByteArray& text : {QByteArray("[Common]\r\nThreadCount=5\r\n"), QByteArray(),
                                   "[Common]\r\n" + Sep + "\r\nNew|||new.example|||7|||\r\n"}) {
        prompts.shown.clear();
        elsewhere.write(u"odd.bak"_s, text);
        dialogs.queueFileName(elsewhere.file(u"odd.bak"_s));
        prompts.queueAnswer(true);  // must not be asked
        commands.Restore();
        ASSERT_EQ(prompts.shown.size(), 1);
        EXPECT_EQ(prompts.shown[0].kind, Prompts::Kind::Warning);
        EXPECT_TRUE(prompts.shown[0].text.contains(QDir::toNativeSeparators(elsewhere.file(u"odd.bak"_s))));
        EXPECT_TRUE(prompts.questions.isEmpty());
        expectOldFiles();
        prompts.confirm(nullptr, {});  // use up the queued answer
        prompts.questions.clear();
    }
    EXPECT_EQ(reloads, 0);
}

TEST_F(BackupCommandsTest, ARestoreWhoseSecondFileCannotBeWrittenChangesNothing)
{
    QFile::remove(dir.file(u"MySites.txt"_s));
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"MySites.txt"_s));
    elsewhere.write(u"saved.bak"_s, "[Common]\r\n" + Sep + "\r\nNew|||new.example|||7|||\r\n" + Sep + "\r\n");
    dialogs.queueFileName(elsewhere.file(u"saved.bak"_s));
    prompts.queueAnswer(true);

    const QString failure = failureOf([this] { commands.Restore(); });
    EXPECT_TRUE(failure.startsWith(u"Cannot create file \"%1\". "_s.arg(dir.file(u"MySites.txt"_s))))
        << failure.toStdString();
    EXPECT_EQ(dir.read(u"config.ini"_s), OldSettings);
    EXPECT_EQ(dir.read(u"Items.txt"_s), OldLinks);
    EXPECT_EQ(reloads, 0);  // the window keeps its lists
}

}  // namespace
