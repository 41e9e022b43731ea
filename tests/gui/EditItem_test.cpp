#include "dialogs/UnitEditItem.h"
#include "gui/ModalScript.h"
#include "model/CheckHistory.h"
#include "model/Clock.h"
#include "model/LinkList.h"
#include "model/TextUtil.h"
#include "model/WebsiteTree.h"
#include "support/FakePrompts.h"
#include "support/QtPrinters.h"
#include "support/SampleData.h"
#include "support/StepClock.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr double ClockNow = 46000.5;

LinkRecord Link(std::int32_t siteId, const char* page, LinkStatus status = lsUnchecked, double created = 0,
                double lastCheck = 0)
{
    auto link = std::make_shared<rMonitorInfo>();
    link->SiteId = siteId;
    link->PageUrl = page;
    link->FirstName = "Ann";
    link->LastName = "Lee";
    link->Email = "ann@partner.example";
    link->Created = created;
    link->LastCheck = lastCheck;
    link->Status = status;
    return link;
}

QStringList Entries(const QComboBox* box)
{
    QStringList entries;
    for (int i = 0; i < box->count(); ++i)
        entries << box->itemText(i);
    return entries;
}

QStringList Texts(const QList<FakePrompts::Shown>& shown)
{
    QStringList texts;
    for (const FakePrompts::Shown& box : shown) {
        EXPECT_EQ(box.kind, Prompts::Kind::Warning);
        texts << box.text;
    }
    return texts;
}

class EditItemTest : public ::testing::Test {
protected:
    InstalledFixedClock clock{ClockNow};
    InstalledFakePrompts prompts;
    WebsiteTree websites = Websites({{"Alpha", "alpha.example", 1}, {"Beta", "beta.example", 2}});
    LinkList links;
    std::vector<std::int32_t> storedSites;
    std::function<void(const rMonitorInfo&)> stored = [this](const rMonitorInfo& link) {
        storedSites.push_back(link.SiteId);
    };

    void add(std::int32_t siteId, ModalScript& script)
    {
        AddItemForSite(nullptr, websites, links, siteId, stored);
        EXPECT_TRUE(script.finished());
        EXPECT_EQ(script.unexpected(), 0);
    }
};

TEST(PageUrlTest, PrefixGoesBeforeTheUntrimmedTextAndOnlyOuterBlanksAreTrimmed)
{
    const WebsiteTree websites = Websites({{"Alpha", "alpha.example", 1}});
    const QByteArray completed = CompletePageUrl("  partner.example  ");
    EXPECT_EQ(completed, QByteArray("http://  partner.example  "));
    const rMonitorInfo link = LinkFromInput({"Alpha", completed, " Ann ", "\tLee", "a@b.example "}, websites, 7);
    EXPECT_EQ(link.PageUrl, QByteArray("http://  partner.example"));
    EXPECT_EQ(link.FirstName, QByteArray("Ann"));
    EXPECT_EQ(link.LastName, QByteArray("Lee"));
    EXPECT_EQ(link.Email, QByteArray("a@b.example"));
    EXPECT_EQ(link.SiteId, 1);
    EXPECT_EQ(link.Created, 7);
    EXPECT_TRUE(link.SiteUrl.isEmpty());
}

TEST(LookupTest, WebsiteIndexByNameTakesTheLastSameNameOrTheFirstEntry)
{
    const QList<QByteArray> entries = {"Alpha", "beta", " BETA ", "Gamma"};
    EXPECT_EQ(WebsiteIndexByName(entries, "Beta"), 2);
    EXPECT_EQ(WebsiteIndexByName(entries, "gamma\t"), 3);
    EXPECT_EQ(WebsiteIndexByName(entries, "Delta"), 0);
    EXPECT_EQ(WebsiteIndexByName(entries, ""), 0);
    EXPECT_EQ(WebsiteIndexByName({}, "Alpha"), 0);
}

TEST_F(EditItemTest, DialogHasItsCaptionsSizeTabOrderAndButtons)
{
    TfrmEditItem dialog(websites);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Inbound link info"));
    EXPECT_EQ(dialog.size(), QSize(385, 274));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());

    QStringList groups;
    for (const QGroupBox* group : dialog.findChildren<QGroupBox*>())
        groups << group->title();
    EXPECT_EQ(groups, QStringList({QStringLiteral("General Settings"), QStringLiteral("Contact Info (Optional)")}));
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        labels << label->text();
    EXPECT_EQ(labels.mid(0, 1), QStringList{QStringLiteral("My website: ")});
    EXPECT_TRUE(labels.at(1).startsWith(QStringLiteral("Monitor Url: (")));
    EXPECT_TRUE(labels.at(1).contains(QStringLiteral(".example")));
    EXPECT_EQ(labels.mid(2),
              QStringList({QStringLiteral("First Name:"), QStringLiteral("Last Name:"), QStringLiteral("E - Mail:")}));

    EXPECT_EQ(dialog.BBtnOKNew()->text(), QStringLiteral("S&ave && New"));
    EXPECT_EQ(dialog.BBtnOk()->text(), QStringLiteral("&Save && Close"));
    EXPECT_EQ(dialog.BitBtn1()->text(), QStringLiteral("&Close"));
    EXPECT_TRUE(dialog.BBtnOKNew()->isDefault());
    EXPECT_FALSE(dialog.BBtnOk()->isDefault());
    EXPECT_FALSE(dialog.CBMySite()->isEditable());

    const QList<QWidget*> order = {dialog.EditAddress(),  dialog.CBMySite(),  dialog.EditFirstName(),
                                   dialog.EditLastName(), dialog.EditEmail(), dialog.BBtnOKNew(),
                                   dialog.BBtnOk(),       dialog.BitBtn1()};
    for (int i = 0; i + 1 < order.size(); ++i)
        EXPECT_EQ(order[i]->nextInFocusChain(), order[i + 1]) << i;

    // The root is not offered and no website is chosen yet.
    EXPECT_EQ(Entries(dialog.CBMySite()), QStringList({QStringLiteral("Alpha"), QStringLiteral("Beta")}));
    EXPECT_EQ(dialog.CBMySite()->currentIndex(), -1);

    dialog.SetEditMode();
    EXPECT_TRUE(dialog.BBtnOKNew()->isHidden());
    EXPECT_TRUE(dialog.BBtnOk()->isDefault());
}

// Tabbing on from the address and typing a name into the website box must not file the link under
// the website whose name starts with those letters.
TEST_F(EditItemTest, LettersTypedIntoTheClosedWebsiteBoxChangeNothing)
{
    websites = Websites({{"Alpha", "alpha.example", 1}, {"Second Blog", "second.example", 2}, {"Sara's", "s", 3}});
    TfrmEditItem dialog(websites);
    dialog.ChooseWebsite(1);
    QComboBox* box = dialog.CBMySite();
    QTest::keyClicks(box, QStringLiteral("Sara Lee"));
    EXPECT_EQ(box->currentText(), QStringLiteral("Alpha"));
    EXPECT_FALSE(box->view()->isVisible());

    // A deliberate choice still works from the keyboard.
    QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(box->currentText(), QStringLiteral("Second Blog"));
    QTest::keyClick(box, Qt::Key_End);
    EXPECT_EQ(box->currentText(), QStringLiteral("Sara's"));
    QTest::keyClick(box, Qt::Key_Up);
    EXPECT_EQ(box->currentText(), QStringLiteral("Second Blog"));
}

TEST_F(EditItemTest, WarningsComeInOrderWithTheFocusOnTheFieldAtFault)
{
    TfrmEditItem dialog(websites);
    dialog.show();
    dialog.EditAddress()->setText(QStringLiteral("   "));
    dialog.EditFirstName()->setText(QStringLiteral("Ann"));
    dialog.EditFirstName()->setFocus();

    QTest::mouseClick(dialog.BBtnOk(), Qt::LeftButton);
    EXPECT_EQ(Texts(prompts.shown), QStringList{QStringLiteral("Please select your website!")});
    EXPECT_EQ(dialog.focusWidget(), dialog.CBMySite());
    EXPECT_TRUE(dialog.isVisible());

    dialog.CBMySite()->setCurrentIndex(1);
    QTest::mouseClick(dialog.BBtnOKNew(), Qt::LeftButton);
    EXPECT_EQ(Texts(prompts.shown).mid(1), QStringList{QStringLiteral("Please fill monitor url!")});
    EXPECT_EQ(dialog.focusWidget(), dialog.EditAddress());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.SaveAndNew());
    // What was typed stays.
    EXPECT_EQ(dialog.EditAddress()->text(), QStringLiteral("   "));
    EXPECT_EQ(dialog.EditFirstName()->text(), QStringLiteral("Ann"));
    EXPECT_EQ(dialog.CBMySite()->currentText(), QStringLiteral("Beta"));

    dialog.EditAddress()->setText(QStringLiteral("https://partner.example/"));
    QTest::mouseClick(dialog.BBtnOKNew(), Qt::LeftButton);
    EXPECT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.SaveAndNew());
    EXPECT_EQ(dialog.EditAddress()->text(), QStringLiteral("https://partner.example/"));
}

TEST_F(EditItemTest, WithoutWebsitesNoLinkCanBeSaved)
{
    websites = Websites({});
    ModalScript script;
    script.then([&](QDialog& d) {
        auto* dialog = As<TfrmEditItem>(d);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->CBMySite()->count(), 0);
        dialog->EditAddress()->setText(QStringLiteral("partner.example"));
        dialog->BBtnOk()->click();
        dialog->BBtnOKNew()->click();
        dialog->BitBtn1()->click();
    });
    add(0, script);
    EXPECT_EQ(Texts(prompts.shown), QStringList(2, QStringLiteral("Please select your website!")));
    EXPECT_EQ(links.rowCount(), 0);
    EXPECT_TRUE(storedSites.empty());
}

TEST_F(EditItemTest, SaveAndNewOpensAFreshDialogForTheSameWebsite)
{
    ModalScript script;
    script
        .then([&](QDialog& d) {
            auto* dialog = As<TfrmEditItem>(d);
            ASSERT_TRUE(dialog);
            // Plain "New": no website chosen, the address has the focus.
            EXPECT_EQ(dialog->CBMySite()->currentIndex(), -1);
            EXPECT_EQ(QApplication::focusWidget(), dialog->EditAddress());
            dialog->CBMySite()->setCurrentIndex(1);
            QTest::keyClicks(dialog->EditAddress(), QStringLiteral(" www.partner.example/links "));
            dialog->EditFirstName()->setText(QStringLiteral("Ann"));
            QTest::keyClick(dialog->EditAddress(), Qt::Key_Return);
        })
        .then([&](QDialog& d) {
            auto* dialog = As<TfrmEditItem>(d);
            ASSERT_TRUE(dialog);
            EXPECT_EQ(dialog->CBMySite()->currentText(), QStringLiteral("Beta"));
            EXPECT_TRUE(dialog->EditAddress()->text().isEmpty());
            EXPECT_TRUE(dialog->EditFirstName()->text().isEmpty());
            dialog->EditAddress()->setText(QStringLiteral("https://other.example/"));
            dialog->BBtnOKNew()->click();
        })
        .then([&](QDialog& d) {
            auto* dialog = As<TfrmEditItem>(d);
            ASSERT_TRUE(dialog);
            EXPECT_EQ(dialog->CBMySite()->currentText(), QStringLiteral("Beta"));
            dialog->EditAddress()->setText(QStringLiteral("third.example"));
            dialog->BBtnOk()->click();
        });
    add(0, script);

    ASSERT_EQ(links.rowCount(), 3);
    EXPECT_EQ(storedSites, std::vector<std::int32_t>({2, 2, 2}));
    std::vector<QByteArray> pages;
    for (const LinkRecord& link : links.records()) {
        pages.push_back(link->PageUrl);
        EXPECT_EQ(link->SiteId, 2);
        EXPECT_EQ(link->Status, lsUnchecked);
        EXPECT_EQ(link->LastCheck, 0);
        EXPECT_EQ(link->Created, ClockNow);
    }
    EXPECT_EQ(pages,
              std::vector<QByteArray>(
                  {"http:// www.partner.example/links", "https://other.example/", "http://third.example"}));
    EXPECT_EQ(links.records().front()->FirstName, QByteArray("Ann"));
}

TEST_F(EditItemTest, ClosingAfterSaveAndNewKeepsTheLinksSavedBefore)
{
    ModalScript script;
    script
        .then([&](QDialog& d) {
            auto* dialog = As<TfrmEditItem>(d);
            ASSERT_TRUE(dialog);
            // A website picked from the New menu is chosen already.
            EXPECT_EQ(dialog->CBMySite()->currentText(), QStringLiteral("Alpha"));
            dialog->EditAddress()->setText(QStringLiteral("partner.example"));
            dialog->BBtnOKNew()->click();
        })
        .then([&](QDialog& d) {
            auto* dialog = As<TfrmEditItem>(d);
            ASSERT_TRUE(dialog);
            dialog->EditAddress()->setText(QStringLiteral("never.example"));
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
    add(1, script);
    ASSERT_EQ(links.rowCount(), 1);
    EXPECT_EQ(links.record(0).PageUrl, QByteArray("http://partner.example"));
    EXPECT_EQ(storedSites, std::vector<std::int32_t>{1});
}

class EditExistingTest : public EditItemTest {
protected:
    LinkRecord insert(LinkRecord link)
    {
        LinkList::Update update(links);
        links.append(link);
        return link;
    }

    // Opens the dialog on the link, lets `change` edit it and saves.
    void edit(const LinkRecord& link, std::function<void(TfrmEditItem&)> change)
    {
        ModalScript script;
        script.then([&](QDialog& d) {
            auto* dialog = As<TfrmEditItem>(d);
            ASSERT_TRUE(dialog);
            EXPECT_FALSE(dialog->BBtnOKNew()->isVisible());
            change(*dialog);
            QTest::keyClick(dialog->EditEmail(), Qt::Key_Return);
        });
        EXPECT_TRUE(EditItem(nullptr, websites, links, link));
        EXPECT_TRUE(script.finished());
    }
};

TEST_F(EditExistingTest, UnchangedTargetKeepsCreatedStatusAndLastCheck)
{
    const LinkRecord link = insert(Link(2, "http://partner.example/", lsFound, 40000.25, 45000.75));
    edit(link, [](TfrmEditItem& dialog) {
        EXPECT_EQ(dialog.CBMySite()->currentText(), QStringLiteral("Beta"));
        EXPECT_EQ(dialog.EditAddress()->text(), QStringLiteral("http://partner.example/"));
        EXPECT_EQ(dialog.EditFirstName()->text(), QStringLiteral("Ann"));
        EXPECT_EQ(dialog.KeptCreated(), 40000.25);
        dialog.EditFirstName()->setText(QStringLiteral(" Anne "));
    });
    EXPECT_EQ(link->FirstName, QByteArray("Anne"));
    EXPECT_EQ(link->Created, 40000.25);
    EXPECT_EQ(link->Status, lsFound);
    EXPECT_EQ(link->LastCheck, 45000.75);
    EXPECT_EQ(links.CountVisibleWithStatus(lsFound), 1);
}

TEST_F(EditExistingTest, UntouchedFieldsKeepBytesTheLocaleCannotShow)
{
    // Latin-1 bytes from an old file are not UTF-8: the screen shows replacement characters, but
    // saving an edit of another field must not rewrite them.
    LinkRecord original = Link(2, "http://partner.example/caf\xe9", lsFound, 40000, 45000);
    original->LastName = "M\xfcller";
    const LinkRecord link = insert(original);
    edit(link, [](TfrmEditItem& dialog) { dialog.EditFirstName()->setText(QStringLiteral("Bo")); });
    EXPECT_EQ(link->FirstName, QByteArray("Bo"));
    EXPECT_EQ(link->LastName, QByteArray("M\xfcller"));
    EXPECT_EQ(link->PageUrl, QByteArray("http://partner.example/caf\xe9"));
    EXPECT_EQ(link->Status, lsFound);
}

TEST_F(EditExistingTest, NewAddressOrWebsiteMakesTheLinkUncheckedAgain)
{
    const LinkRecord moved = insert(Link(1, "http://a.example/", lsNotFound, 40000, 45000));
    const LinkRecord readdressed = insert(Link(1, "http://b.example/", lsFound, 40000, 45000));
    edit(moved, [](TfrmEditItem& dialog) { dialog.CBMySite()->setCurrentIndex(1); });
    edit(readdressed, [](TfrmEditItem& dialog) { dialog.EditAddress()->setText(QStringLiteral("b.example/new")); });

    EXPECT_EQ(moved->SiteId, 2);
    EXPECT_EQ(readdressed->PageUrl, QByteArray("http://b.example/new"));
    for (const LinkRecord& link : {moved, readdressed}) {
        EXPECT_EQ(link->Status, lsUnchecked);
        EXPECT_EQ(link->LastCheck, 0);
        EXPECT_EQ(link->Created, 40000);
    }
    EXPECT_EQ(links.CountVisibleWithStatus(lsUnchecked), 2);
    EXPECT_EQ(links.CountVisibleWithStatus(lsFound), 0);
}

TEST_F(EditExistingTest, OnlyALinkMadeUncheckedForgetsWhatChangedAtItsLastCheck)
{
    const auto changed = [this](const char* page, LinkStatus status) {
        LinkRecord link = Link(1, page, status, 40000, 45000);
        link->Changes = ChangeLost;
        return insert(link);
    };
    const LinkRecord readdressed = changed("http://a.example/", lsNotFound);
    const LinkRecord sameTarget = changed("http://b.example/", lsNotFound);
    const LinkRecord checking = changed("http://c.example/", lsChecking);
    const auto withPage = [](const LinkRecord& link, const char* page) {
        rMonitorInfo entered = *link;
        entered.PageUrl = page;
        return entered;
    };
    StoreEditedLink(links, *readdressed, withPage(readdressed, "http://a.example/new"));
    rMonitorInfo contact = *sameTarget;
    contact.FirstName = "Bo";
    StoreEditedLink(links, *sameTarget, contact);
    StoreEditedLink(links, *checking, withPage(checking, "http://c.example/new"));

    EXPECT_EQ(readdressed->Status, lsUnchecked);
    EXPECT_EQ(readdressed->Changes, 0);
    EXPECT_EQ(sameTarget->Status, lsNotFound);
    EXPECT_EQ(sameTarget->Changes, ChangeLost);
    // The running check reports over the row, change included, when it ends.
    EXPECT_EQ(checking->Status, lsChecking);
    EXPECT_EQ(checking->Changes, ChangeLost);

    links.setChangedOnly(true);
    links.ShowAllItems();
    EXPECT_EQ(links.visibleCount(), 2);
    EXPECT_EQ(links.CountVisibleWithStatus(lsUnchecked), 0);
}

TEST_F(EditExistingTest, CreatedZeroBecomesNowAndAGoneWebsiteBecomesTheFirst)
{
    const LinkRecord orphan = insert(Link(9, "http://partner.example/", lsFound, 0, 45000));
    edit(orphan, [](TfrmEditItem& dialog) {
        EXPECT_EQ(dialog.CBMySite()->currentIndex(), 0);
        EXPECT_EQ(dialog.CBMySite()->currentText(), QStringLiteral("Alpha"));
    });
    EXPECT_EQ(orphan->SiteId, 1);
    EXPECT_EQ(orphan->Created, ClockNow);
    EXPECT_EQ(orphan->Status, lsUnchecked);
}

TEST_F(EditExistingTest, ARunningCheckKeepsItsStatusAndClosingChangesNothing)
{
    const LinkRecord link = insert(Link(1, "http://a.example/", lsChecking, 40000, 45000));
    edit(link, [](TfrmEditItem& dialog) { dialog.EditAddress()->setText(QStringLiteral("http://c.example/")); });
    EXPECT_EQ(link->Status, lsChecking);
    EXPECT_EQ(link->LastCheck, 0);

    ModalScript script;
    script.then([](QDialog& d) {
        auto* dialog = As<TfrmEditItem>(d);
        ASSERT_TRUE(dialog);
        dialog->EditAddress()->setText(QStringLiteral("http://d.example/"));
        dialog->BitBtn1()->click();
    });
    EXPECT_FALSE(EditItem(nullptr, websites, links, link));
    EXPECT_EQ(link->PageUrl, QByteArray("http://c.example/"));
}

}  // namespace
