#include "app/LinkListModel.h"
#include "app/LinksPane.h"
#include "app/LinksView.h"
#include "app/SearchField.h"
#include "app/UnitMain.h"
#include "app/WebsitesPane.h"
#include "dialogs/UnitAddOwnSite.h"
#include "dialogs/UnitEditItem.h"
#include "dialogs/WebsiteCheckList.h"
#include "gui/MenuEntry.h"
#include "gui/ModalScript.h"
#include "import/UnitImport.h"
#include "model/DataFiles.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"
#include "support/FakeFileDialogs.h"
#include "support/FakePrompts.h"
#include "support/QtPrinters.h"
#include "support/TempAppDir.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

LinkRecord Link(std::int32_t site, const char* page, const char* firstName, const char* lastName, const char* email)
{
    auto link = std::make_shared<rMonitorInfo>();
    link->SiteId = site;
    link->PageUrl = page;
    link->FirstName = firstName;
    link->LastName = lastName;
    link->Email = email;
    link->Created = 46000.5;
    return link;
}

class LinkSearchWindowTest : public ::testing::Test {
protected:
    LinkSearchWindowTest()
    {
        WebsiteTree websites;
        websites.append({"Garden Journal", "garden.example", 1});
        websites.append({"Caf\xc3\xa9 Blog", "cafe.example", 2});
        SaveWebsites(appDir.path(), websites);
        LinkList links;
        links.appendMany({Link(1, "http://roses.example/links.html", "Anna", "Miller", "anna@roses.example"),
                          Link(1, "http://tulips.example/", "Peter", "Brown", "pb@mail.example"),
                          Link(2, "http://beans.example/partners", "Zo\xc3\xab", "M\xc3\xbcller", "zoe@beans.example"),
                          Link(2, "http://millstone.example/", "", "", "")});
        SaveLinks(appDir.path(), links, LocaleFormats::system());
        window = std::make_unique<TfrmMain>();
        window->show();
        window->websitesPane().focusRoot();
    }

    SearchField& field() const { return *window->linksPane().EditSearch(); }
    LinksView& view() const { return *window->linksPane().VSTItem(); }

    QStringList shownPages() const
    {
        QStringList pages;
        const LinkListModel& model = window->linksPane().model();
        for (int row = 0; row < model.rowCount(); ++row)
            pages << model.data(model.index(row, 1)).toString();
        pages.sort();
        return pages;
    }

    QString linkCount() const { return window->statusPanel(0)->text(); }

    void type(const QString& text) { QTest::keyClicks(&field(), text); }

    TempAppDir appDir;
    InstalledFakePrompts prompts;
    InstalledFakeFileDialogs fileDialogs;
    std::unique_ptr<TfrmMain> window;
};

const QString Roses = QStringLiteral("http://roses.example/links.html");
const QString Tulips = QStringLiteral("http://tulips.example/");
const QString Beans = QStringLiteral("http://beans.example/partners");
const QString Millstone = QStringLiteral("http://millstone.example/");

TEST_F(LinkSearchWindowTest, TypingNarrowsAndWidensTheListAndTheCountsFollow)
{
    ASSERT_EQ(shownPages().size(), 4);
    // Each letter filters at once, a to z folded: "mil" is in an address and a name, "mille" in the
    // name only, and Backspace brings the other back.
    type(QStringLiteral("MIL"));
    EXPECT_EQ(shownPages(), (QStringList{Millstone, Roses}));
    EXPECT_EQ(linkCount(), QStringLiteral(" 2 inbound link(s)"));
    type(QStringLiteral("le"));
    EXPECT_EQ(shownPages(), (QStringList{Roses}));
    EXPECT_EQ(linkCount(), QStringLiteral(" 1 inbound link(s)"));
    QTest::keyClick(&field(), Qt::Key_Backspace);
    QTest::keyClick(&field(), Qt::Key_Backspace);
    EXPECT_EQ(shownPages(), (QStringList{Millstone, Roses}));

    // The websites' names are searched too, as they are now: a renamed website is searched again.
    field().setText(QStringLiteral("garden"));
    EXPECT_EQ(shownPages(), (QStringList{Roses, Tulips}));
    ModalScript script;
    script.then([](QDialog& d) {
        auto* dialog = As<TfrmAddOwnSite>(d);
        ASSERT_TRUE(dialog);
        dialog->EditName()->setText(QStringLiteral("Flower Journal"));
        dialog->BBtnOk()->click();
    });
    window->SelectWebsiteById(1);
    MenuEntry(*window, QStringLiteral("&My websites"), QStringLiteral("M&odify..."))->trigger();
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(shownPages(), QStringList());
    window->websitesPane().focusRoot();
    field().clear();
    EXPECT_EQ(shownPages().size(), 4);
    EXPECT_EQ(linkCount(), QStringLiteral(" 4 inbound link(s)"));
}

TEST_F(LinkSearchWindowTest, TheSearchAndTheWebsiteShownBothHoldAndTheCaptionNamesTheWebsite)
{
    type(QStringLiteral("example"));
    window->SelectWebsiteById(2);
    EXPECT_EQ(shownPages(), (QStringList{Beans, Millstone}));
    field().setText(QStringLiteral("mill"));
    EXPECT_EQ(shownPages(), (QStringList{Millstone}));
    EXPECT_EQ(window->linksPane().caption(), QStringLiteral("  Inbound Links for Caf\u00e9 Blog"));
    EXPECT_EQ(linkCount(), QStringLiteral(" 1 inbound link(s)"));

    // Switching keeps the search; the rows of the other website were tested while hidden.
    window->SelectWebsiteById(1);
    EXPECT_EQ(shownPages(), (QStringList{Roses}));
    EXPECT_EQ(field().text(), QStringLiteral("mill"));
    window->websitesPane().focusRoot();
    EXPECT_EQ(shownPages(), (QStringList{Millstone, Roses}));
    EXPECT_EQ(window->linksPane().caption(), QStringLiteral("  Inbound Links for all my websites"));

    // The verdict counts count the shown rows only.
    for (int row = 0; row < window->links().rowCount(); ++row)
        window->links().setStatus(*window->links().recordHandle(row), lsFound);
    window->RefreshStatusBar();
    EXPECT_EQ(window->statusPanel(1)->text(), QStringLiteral(" 2 found"));
}

TEST_F(LinkSearchWindowTest, CtrlFReachesTheFieldEscClearsItAndDownGoesToTheResults)
{
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    type(QStringLiteral("brown"));
    view().setFocus();
    QTest::keyClick(&view(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(field().hasFocus());
    EXPECT_EQ(field().selectedText(), QStringLiteral("brown"));  // typing replaces it

    // From the websites pane too.
    window->websitesPane().VSTExplorer()->setFocus();
    QTest::keyClick(window->websitesPane().VSTExplorer(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(field().hasFocus());

    QTest::keyClick(&field(), Qt::Key_Escape);
    EXPECT_EQ(field().text(), QString());
    EXPECT_EQ(shownPages().size(), 4);
    EXPECT_TRUE(field().hasFocus());

    type(QStringLiteral("tulips"));
    QTest::keyClick(&field(), Qt::Key_Down);
    EXPECT_TRUE(view().hasFocus());
    EXPECT_EQ(view().currentIndex().row(), 0);
    EXPECT_EQ(window->links().selectedCount(), 1);
}

TEST_F(LinkSearchWindowTest, AnEditedOrImportedLinkIsTestedAgainstTheSearch)
{
    type(QStringLiteral("miller"));
    ASSERT_EQ(shownPages(), (QStringList{Roses}));

    // Anna marries: her link no longer matches and leaves the list.
    window->links().setSelected(*window->linksPane().model().recordAt(0), true);
    ModalScript script;
    script.then([](QDialog& d) {
        auto* dialog = As<TfrmEditItem>(d);
        ASSERT_TRUE(dialog);
        ASSERT_EQ(dialog->EditAddress()->text(), Roses);
        dialog->EditLastName()->setText(QStringLiteral("Young"));
        dialog->BBtnOk()->click();
    });
    window->EditExist();
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(shownPages(), QStringList());
    EXPECT_EQ(linkCount(), QStringLiteral(" 0 inbound link(s)"));

    // Imported pages show when they match, whatever else they bring.
    appDir.write(QStringLiteral("new.txt"), "http://miller-farm.example/\nhttp://other.example/\n");
    fileDialogs.queueFileName(appDir.file(QStringLiteral("new.txt")));
    script.then([](QDialog& d) {
        auto* wizard = As<TfrmImport>(d);
        ASSERT_TRUE(wizard);
        wizard->BtnNext()->click();
        wizard->Button3()->click();
        wizard->BtnNext()->click();
        wizard->VSTSites()->setMarked(0, true);
        wizard->BtnNext()->click();
        wizard->BtnNext()->click();
    });
    window->ImportInbound();
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(window->links().rowCount(), 6);
    EXPECT_EQ(shownPages(), (QStringList{QStringLiteral("http://miller-farm.example/")}));
    EXPECT_EQ(linkCount(), QStringLiteral(" 1 inbound link(s)"));
    field().clear();
    window->websitesPane().focusRoot();
    EXPECT_EQ(shownPages().size(), 6);
}

}  // namespace
