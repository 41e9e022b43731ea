#include "app/MainCommands.h"
#include "app/UnitMain.h"
#include "app/WebsitesPane.h"
#include "dialogs/UnitAddOwnSite.h"
#include "dialogs/UnitEditItem.h"
#include "dialogs/UnitOptions.h"
#include "gui/MenuEntry.h"
#include "gui/ModalScript.h"
#include "model/DataFiles.h"
#include "model/LinkList.h"
#include "model/SettingsFile.h"
#include "model/WebsiteTree.h"
#include "support/FakePrompts.h"
#include "support/QtPrinters.h"
#include "support/SampleData.h"
#include "support/TempAppDir.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

class EditingCommandsTest : public ::testing::Test {
protected:
    EditingCommandsTest()
    {
        WriteTwoWebsitesOneLink(appDir.path());
        window = std::make_unique<TfrmMain>();
        window->show();
    }

    QString linkCount() const { return window->statusPanel(0)->text(); }

    TempAppDir appDir;
    InstalledFakePrompts prompts;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(EditingCommandsTest, NewLinksAreStoredCountedAndTheirWebsiteFocused)
{
    window->SelectWebsiteById(1);
    ModalScript script;
    script
        .then([](QDialog& d) {
            auto* dialog = As<TfrmEditItem>(d);
            ASSERT_TRUE(dialog);
            // The website shown in the websites pane comes chosen.
            EXPECT_EQ(dialog->CBMySite()->currentText(), QStringLiteral("Alpha"));
            dialog->CBMySite()->setCurrentIndex(1);
            dialog->EditAddress()->setText(QStringLiteral("q1.example"));
            dialog->BBtnOKNew()->click();
        })
        .then([](QDialog& d) {
            auto* dialog = As<TfrmEditItem>(d);
            ASSERT_TRUE(dialog);
            EXPECT_EQ(dialog->CBMySite()->currentText(), QStringLiteral("Beta"));
            dialog->BitBtn1()->click();
        })
        .then([](QDialog& d) {
            auto* dialog = As<TfrmEditItem>(d);
            ASSERT_TRUE(dialog);
            EXPECT_EQ(dialog->CBMySite()->currentText(), QStringLiteral("Alpha"));
            dialog->EditAddress()->setText(QStringLiteral("https://p2.example/"));
            dialog->BBtnOk()->click();
        });
    MenuEntry(*window, QStringLiteral("&Inbound links"), QStringLiteral("New..."))->trigger();
    EXPECT_EQ(window->websitesPane().focusedId(), 2);
    EXPECT_EQ(linkCount(), QStringLiteral(" 1 inbound link(s)"));

    window->commands().PMNewByMy()->actions().at(0)->trigger();
    EXPECT_EQ(window->websitesPane().focusedId(), 1);
    EXPECT_EQ(linkCount(), QStringLiteral(" 2 inbound link(s)"));
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(window->links().rowCount(), 3);
}

TEST_F(EditingCommandsTest, ModifyNeedsASelectionAndAnEditedLinkFollowsTheFilter)
{
    ModalScript script;
    MenuEntry(*window, QStringLiteral("&Inbound links"), QStringLiteral("Modify..."))->trigger();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0],
              (FakePrompts::Shown{Prompts::Kind::Information, QStringLiteral("Please Select a inbound link")}));

    // The selected link of Alpha is hidden while Beta is shown; moving it to Beta shows it.
    const LinkRecord link = window->links().recordHandle(0);
    window->links().setSelected(*link, true);
    window->SelectWebsiteById(2);
    EXPECT_EQ(linkCount(), QStringLiteral(" 0 inbound link(s)"));
    script.then([](QDialog& d) {
        auto* dialog = As<TfrmEditItem>(d);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->EditAddress()->text(), QStringLiteral("http://p1.example/"));
        dialog->CBMySite()->setCurrentIndex(1);
        dialog->BBtnOk()->click();
    });
    window->EditExist();
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(link->SiteId, 2);
    EXPECT_EQ(link->Created, 46000.5);
    EXPECT_TRUE(window->links().isVisible(*link));
    EXPECT_EQ(linkCount(), QStringLiteral(" 1 inbound link(s)"));
}

TEST_F(EditingCommandsTest, WebsiteCommandsStoreAndSaveAtOnce)
{
    ModalScript script;
    script
        .then([](QDialog& d) {
            auto* dialog = As<TfrmAddOwnSite>(d);
            ASSERT_TRUE(dialog);
            dialog->EditName()->setText(QStringLiteral(" Gamma "));
            dialog->EditUrl()->setText(QStringLiteral("gamma.example"));
            dialog->BBtnOk()->click();
        })
        .then([](QDialog& d) {
            auto* dialog = As<TfrmAddOwnSite>(d);
            ASSERT_TRUE(dialog);
            EXPECT_EQ(dialog->EditName()->text(), QStringLiteral("Beta"));
            dialog->EditName()->setText(QStringLiteral("Beta Two"));
            dialog->BBtnOk()->click();
        });
    MenuEntry(*window, QStringLiteral("&My websites"), QStringLiteral("&New..."))->trigger();
    window->SelectWebsiteById(2);
    MenuEntry(*window, QStringLiteral("&My websites"), QStringLiteral("M&odify..."))->trigger();
    EXPECT_TRUE(script.finished());

    QStringList entries;
    for (const QAction* entry : window->commands().PMNewByMy()->actions())
        entries << entry->text();
    EXPECT_EQ(entries, QStringList({QStringLiteral("Alpha"), QStringLiteral("Beta Two"), QStringLiteral("Gamma")}));
    WebsiteTree saved;
    LoadWebsites(appDir.path(), saved);
    ASSERT_EQ(saved.children().size(), 3u);
    EXPECT_EQ(saved.children()[1].Name, QByteArray("Beta Two"));
    EXPECT_EQ(saved.children()[1].Id, 2);
    EXPECT_EQ(saved.children()[2].Name, QByteArray("Gamma"));
    EXPECT_EQ(saved.children()[2].Id, 3);
}

TEST_F(EditingCommandsTest, OptionsFromTheMenuReportABadPortInTheErrorBox)
{
    ModalScript script;
    script.then([](QDialog& d) {
        auto* dialog = As<TfrmOptions>(d);
        ASSERT_TRUE(dialog);
        dialog->EditProxyPort()->setText(QStringLiteral("x1"));
        dialog->BBtnOk()->click();
    });
    MenuEntry(*window, QStringLiteral("&Tools"), QStringLiteral("&Options"))->trigger();
    EXPECT_TRUE(script.finished());
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0],
              (FakePrompts::Shown{Prompts::Kind::Error, QStringLiteral("'x1' is not a valid integer value.")}));
    EXPECT_EQ(window->settings().read(Keys::ThreadCount), 3);
}

}  // namespace
