#include "app/LinksPane.h"
#include "app/LinksView.h"
#include "app/UnitMain.h"
#include "dialogs/WebsiteCheckList.h"
#include "gui/MenuEntry.h"
#include "gui/ModalScript.h"
#include "import/UnitImport.h"
#include "model/DataFiles.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"
#include "report/UnitReport.h"
#include "support/FakeFileDialogs.h"
#include "support/FakePrompts.h"
#include "support/QtPrinters.h"
#include "support/SampleData.h"
#include "support/TempAppDir.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

class ImportReportCommandsTest : public ::testing::Test {
protected:
    ImportReportCommandsTest()
    {
        WriteTwoWebsitesOneLink(appDir.path());
        window = std::make_unique<TfrmMain>();
        window->show();
    }

    TempAppDir appDir;
    InstalledFakePrompts prompts;
    InstalledFakeFileDialogs fileDialogs;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(ImportReportCommandsTest, ImportedRowsJoinTheListAndShowAtOnce)
{
    window->SelectWebsiteById(1);
    appDir.write(QStringLiteral("new.txt"), "q1.example\nhttps://q2.example\n");
    fileDialogs.queueFileName(appDir.file(QStringLiteral("new.txt")));
    ModalScript script;
    script.then([this](QDialog& d) {
        auto* wizard = As<TfrmImport>(d);
        ASSERT_TRUE(wizard);
        EXPECT_EQ(wizard->parentWidget(), window.get());
        wizard->BtnNext()->click();
        wizard->Button3()->click();
        wizard->BtnNext()->click();
        ASSERT_EQ(wizard->VSTSites()->count(), 2);
        wizard->VSTSites()->setMarked(1, true);
        wizard->BtnNext()->click();
        wizard->BtnNext()->click();
    });
    MenuEntry(*window, QStringLiteral("&File"), QStringLiteral("&Import inbound links from file..."))->trigger();
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(script.unexpected(), 0);

    ASSERT_EQ(window->links().rowCount(), 3);
    EXPECT_EQ(prompts.shown.last().text, QStringLiteral("Finished!\n\r\n\r2 inbound links imported."));
    // Beta's new rows do not show under Alpha's heading, and the counts say what is shown.
    EXPECT_EQ(window->linksPane().caption(), QStringLiteral("  Inbound Links for Alpha"));
    EXPECT_EQ(window->links().visibleCount(), 1);
    EXPECT_EQ(window->linksPane().VSTItem()->model()->rowCount(), 1);
    EXPECT_EQ(window->statusPanel(0)->text(), QStringLiteral(" 1 inbound link(s)"));
    window->SelectWebsiteById(2);
    EXPECT_EQ(window->links().visibleCount(), 2);
    EXPECT_EQ(window->statusPanel(0)->text(), QStringLiteral(" 2 inbound link(s)"));
}

TEST_F(ImportReportCommandsTest, TheReportOpensFromItsToolButtonMenuAndPopUpEntries)
{
    ModalScript script;
    const auto checkAndClose = [this](QDialog& d) {
        auto* dialog = As<TfrmReport>(d);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->parentWidget(), window.get());
        ASSERT_EQ(dialog->VSTSites()->count(), 2);
        EXPECT_EQ(dialog->VSTSites()->site(0).Name, "Alpha");
        dialog->BtnClose()->click();
    };
    script.then(checkAndClose).then(checkAndClose).then(checkAndClose);

    auto* tool = window->findChild<QToolButton*>(QStringLiteral("ToolButtonReport"));
    ASSERT_TRUE(tool);
    tool->click();
    MenuEntry(*window, QStringLiteral("&Inbound links"), QStringLiteral("&Report"))->trigger();
    auto* popup = window->findChild<QMenu*>(QStringLiteral("PMIL"));
    ASSERT_TRUE(popup);
    popup->actions().last()->trigger();
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(script.unexpected(), 0);
    EXPECT_EQ(window->links().rowCount(), 1);
}

}  // namespace
