#include "app/LinksPane.h"
#include "app/UnitMain.h"
#include "app/WebsitesPane.h"
#include "dialogs/UnitEditItem.h"
#include "gui/MenuEntry.h"
#include "gui/ModalScript.h"
#include "model/LinkList.h"
#include "model/LinksSaver.h"
#include "support/FakeFileDialogs.h"
#include "support/FakePrompts.h"
#include "support/SampleData.h"
#include "support/TempAppDir.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Sep = QByteArray(48, '-');

// Runs the event loop until `done` holds or a generous bound passes; the result says which.
template <typename Condition>
bool Eventually(Condition done, int boundMs = 10000)
{
    const QDeadlineTimer deadline(boundMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

// The window on two websites and one link, writing its links a moment after each change.
class LinksSavingTest : public ::testing::Test {
protected:
    LinksSavingTest()
    {
        WriteTwoWebsitesOneLink(appDir.path());
        appDir.write(u"config.ini"_s, "[Common]\r\nThreadCount=3\r\n");
        window = std::make_unique<TfrmMain>();
        window->saver().setDelays({5, 60000});
        window->show();
    }

    QByteArray links() const { return appDir.read(u"Items.txt"_s); }
    QLabel* saveNote() const { return window->statusBar()->findChild<QLabel*>(u"SaveNote"_s); }

    void deleteFirstLink()
    {
        window->websitesPane().focusRoot();
        window->links().clearSelection();
        window->links().setSelected(0, true);
        prompts.queueAnswer(true);
        window->DeleteSelected();
    }

    TempAppDir elsewhere;
    TempAppDir appDir;
    InstalledFakePrompts prompts;
    InstalledFakeFileDialogs dialogs;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(LinksSavingTest, AddsEditsAndDeletesReachTheFileWithoutAClose)
{
    ModalScript script;
    script
        .then([](QDialog& d) {
            auto* dialog = As<TfrmEditItem>(d);
            ASSERT_TRUE(dialog);
            dialog->CBMySite()->setCurrentIndex(1);
            dialog->EditAddress()->setText(u"q1.example"_s);
            dialog->BBtnOk()->click();
        })
        .then([](QDialog& d) {
            auto* dialog = As<TfrmEditItem>(d);
            ASSERT_TRUE(dialog);
            dialog->EditFirstName()->setText(u"Sara"_s);
            dialog->BBtnOk()->click();
        });
    window->AddNew();
    ASSERT_TRUE(Eventually([this] { return links().contains("|||http://q1.example|||"); }));

    window->links().clearSelection();
    window->links().setSelected(1, true);
    window->EditExist();
    ASSERT_TRUE(Eventually([this] { return links().contains("|||http://q1.example|||Sara|||"); }));
    EXPECT_TRUE(script.finished());

    deleteFirstLink();
    ASSERT_TRUE(Eventually([this] { return !links().contains("p1.example"); }));
    EXPECT_EQ(links().count("\r\n"), 1);
    EXPECT_FALSE(saveNote()->isVisible());
}

TEST_F(LinksSavingTest, ABackupHoldsTheChangeMadeJustBefore)
{
    window->saver().setDelays({60000, 60000});
    deleteFirstLink();
    dialogs.queueFileName(elsewhere.file(u"now.bak"_s));
    window->Backup();
    EXPECT_TRUE(prompts.shown.isEmpty()) << prompts.shown.value(0).text.toStdString();
    EXPECT_TRUE(elsewhere.read(u"now.bak"_s).endsWith(Sep + "\r\n"));
    EXPECT_EQ(links(), QByteArray());
}

TEST_F(LinksSavingTest, AFailedSaveShowsInTheStatusBarUntilAWriteSucceeds)
{
    auto second = std::make_shared<rMonitorInfo>();
    second->SiteId = 2;
    second->PageUrl = "http://p2.example/";
    {
        LinkList::Update update(window->links());
        window->links().append(second);
    }
    ASSERT_TRUE(QFile::remove(appDir.file(u"Items.txt"_s)));
    ASSERT_TRUE(QDir(appDir.path()).mkdir(u"Items.txt"_s));
    deleteFirstLink();
    ASSERT_TRUE(Eventually([this] { return saveNote()->isVisible(); }));
    EXPECT_EQ(saveNote()->text(), u"Inbound links not saved"_s);
    EXPECT_TRUE(saveNote()->toolTip().startsWith(u"Cannot create file \"%1\". "_s.arg(appDir.file(u"Items.txt"_s))));
    EXPECT_TRUE(prompts.shown.isEmpty()) << "no box interrupts the user for a save in the background";
    // The counts keep their places.
    EXPECT_TRUE(window->statusPanel(0)->isVisible());

    // Sorting while the disk is full does not try again at once; the next edit does.
    ASSERT_TRUE(QDir(appDir.path()).rmdir(u"Items.txt"_s));
    window->ArrangeItem(1);
    QTest::qWait(100);
    EXPECT_TRUE(saveNote()->isVisible());
    deleteFirstLink();
    ASSERT_TRUE(Eventually([this] { return !saveNote()->isVisible(); }));
    EXPECT_EQ(links(), QByteArray());
}

// A restore replaces the file; changes pending from before must not be written over it.
TEST_F(LinksSavingTest, ARestoreDropsWhatWasPendingBeforeIt)
{
    window->saver().setDelays({200, 60000});
    deleteFirstLink();
    const QByteArray restored = "2|||http://restored.example/|||||||||||||||\r\n";
    elsewhere.write(u"r.bak"_s,
                    Sep + "\r\nAlpha|||alpha.example|||1|||\r\nBeta|||beta.example|||2|||\r\n" + Sep + "\r\n" +
                        restored);
    dialogs.queueFileName(elsewhere.file(u"r.bak"_s));
    prompts.queueAnswer(true);
    window->Restore();
    QTest::qWait(400);
    EXPECT_EQ(links(), restored);
    EXPECT_FALSE(window->saver().pending());
}

}  // namespace
