#include "dialogs/UnitAddOwnSite.h"
#include "gui/ModalScript.h"
#include "model/WebsiteTree.h"
#include "support/FakePrompts.h"
#include "support/QtPrinters.h"
#include "support/SampleData.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The message CheckSiteInput gives, or an empty text when the input passes.
QString Refusal(const WebsiteTree& websites, QByteArrayView name, QByteArrayView url, std::int32_t editId)
{
    try {
        CheckSiteInput(websites, name, url, editId);
    } catch (const SiteInputFault& fault) {
        return fault.text();
    }
    return QString();
}

const QString NameExists = QStringLiteral("Name exist, please choose another one!");
const QString FillName = QStringLiteral("Please fill your website's name!");
const QString FillDomain = QStringLiteral("Please fill the Domain name!");

TEST(SiteInputTest, NamesMatchAcrossCaseAndOuterBlanksExceptTheSiteItself)
{
    const WebsiteTree websites = Websites({{"My Shop", "shop.example", 1}, {"Blog", "blog.example", 2}});
    EXPECT_EQ(Refusal(websites, "my shop", "x.example", 0), NameExists);
    EXPECT_EQ(Refusal(websites, "  MY SHOP\t", "x.example", 0), NameExists);
    EXPECT_EQ(Refusal(websites, "My  Shop", "x.example", 0), QString());
    // Renaming a website to its own name in another case passes; to another's name does not.
    EXPECT_EQ(Refusal(websites, "MY SHOP", "shop.example", 1), QString());
    EXPECT_EQ(Refusal(websites, "blog", "shop.example", 1), NameExists);
    // The root's Id 0 is that of a new website, so only a changed website is refused its name.
    EXPECT_EQ(Refusal(websites, "all MY websites", "x.example", 0), QString());
    EXPECT_EQ(Refusal(websites, "All my websites", "x.example", 2), NameExists);
}

TEST(SiteInputTest, NameClashComesFirstThenEmptyNameThenEmptyDomain)
{
    const WebsiteTree blankNamed = Websites({{"   ", "blank.example", 1}});
    EXPECT_EQ(Refusal(blankNamed, "", "", 0), NameExists);
    const WebsiteTree websites = Websites({{"Shop", "shop.example", 1}});
    EXPECT_EQ(Refusal(websites, " \t", "", 0), FillName);
    EXPECT_EQ(Refusal(websites, "Blog", "  ", 0), FillDomain);
    // The domain text need not look like a domain, and may be another website's.
    EXPECT_EQ(Refusal(websites, "Blog", "shop.example", 0), QString());
    EXPECT_EQ(Refusal(websites, "Blog", "anything at all", 0), QString());
}

TEST(SiteDialogTest, HasItsCaptionsSizeTabOrderAndButtons)
{
    const WebsiteTree websites = Websites({});
    TfrmAddOwnSite dialog(websites);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("My own website"));
    EXPECT_EQ(dialog.size(), QSize(281, 169));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 2);
    EXPECT_EQ(labels[0]->text(), QStringLiteral("Your website's name (e.g. My Website) : "));
    EXPECT_TRUE(labels[1]->text().startsWith(QStringLiteral("Domain name (")));
    EXPECT_TRUE(labels[1]->text().endsWith(QStringLiteral(".example):")));
    int sunkenLines = 0;
    for (const QFrame* frame : dialog.findChildren<QFrame*>())
        sunkenLines += frame->frameShape() == QFrame::HLine && frame->frameShadow() == QFrame::Sunken;
    EXPECT_EQ(sunkenLines, 1);
    EXPECT_EQ(dialog.BBtnOk()->text(), QStringLiteral("&Save"));
    EXPECT_EQ(dialog.BitBtn1()->text(), QStringLiteral("&Close"));
    EXPECT_TRUE(dialog.BBtnOk()->isDefault());

    const QList<QWidget*> order = {dialog.EditName(), dialog.EditUrl(), dialog.BitBtn1(), dialog.BBtnOk()};
    for (int i = 0; i + 1 < order.size(); ++i)
        EXPECT_EQ(order[i]->nextInFocusChain(), order[i + 1]) << i;
    EXPECT_FALSE(dialog.EditMode());
    EXPECT_EQ(dialog.EditId(), 0);
}

TEST(SiteDialogTest, WarningsPutTheFocusOnTheFieldAndKeepTheDialogOpen)
{
    InstalledFakePrompts prompts;
    const WebsiteTree websites = Websites({{"Shop", "shop.example", 1}});
    TfrmAddOwnSite dialog(websites);
    dialog.show();
    dialog.EditName()->setText(QStringLiteral(" shop "));
    dialog.EditUrl()->setFocus();
    QTest::mouseClick(dialog.BBtnOk(), Qt::LeftButton);
    EXPECT_EQ(dialog.focusWidget(), dialog.EditName());

    dialog.EditName()->setText(QStringLiteral(" Blog "));
    QTest::keyClick(dialog.EditName(), Qt::Key_Return);
    EXPECT_EQ(dialog.focusWidget(), dialog.EditUrl());
    EXPECT_TRUE(dialog.isVisible());

    ASSERT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(prompts.shown[0], (FakePrompts::Shown{Prompts::Kind::Warning, NameExists}));
    EXPECT_EQ(prompts.shown[1], (FakePrompts::Shown{Prompts::Kind::Warning, FillDomain}));
    EXPECT_EQ(dialog.EditName()->text(), QStringLiteral(" Blog "));

    dialog.EditUrl()->setText(QStringLiteral("  blog.example "));
    QTest::keyClick(dialog.EditUrl(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const rMySiteInfo site = dialog.GetSite();
    EXPECT_EQ(site.Name, QByteArray("Blog"));
    EXPECT_EQ(site.Url, QByteArray("blog.example"));
    EXPECT_EQ(site.Id, 2);
}

TEST(SiteDialogTest, NewWebsitesGetOneMoreThanTheLargestIdPresent)
{
    InstalledFakePrompts prompts;
    const auto nextOf = [](const WebsiteTree& websites) {
        ModalScript script;
        script.then([](QDialog& d) {
            auto* dialog = As<TfrmAddOwnSite>(d);
            ASSERT_TRUE(dialog);
            EXPECT_EQ(QApplication::focusWidget(), dialog->EditName());
            dialog->EditName()->setText(QStringLiteral("New"));
            dialog->EditUrl()->setText(QStringLiteral("new.example"));
            dialog->BBtnOk()->click();
        });
        const std::optional<rMySiteInfo> site = AskNewWebsite(nullptr, websites);
        EXPECT_TRUE(script.finished());
        return site ? site->Id : -1;
    };
    EXPECT_EQ(nextOf(Websites({})), 1);
    EXPECT_EQ(nextOf(Websites({{"B", "b", 7}, {"A", "a", 1}, {"C", "c", 2}})), 8);
    EXPECT_EQ(nextOf(Websites({{"A", "a", -4}})), 1);
}

TEST(SiteDialogTest, ChangingKeepsTheIdAndClosingGivesNothing)
{
    InstalledFakePrompts prompts;
    const WebsiteTree websites = Websites({{"Shop", "shop.example", 3}, {"Blog", "blog.example", 9}});
    ModalScript script;
    script
        .then([](QDialog& d) {
            auto* dialog = As<TfrmAddOwnSite>(d);
            ASSERT_TRUE(dialog);
            EXPECT_TRUE(dialog->EditMode());
            EXPECT_EQ(dialog->EditName()->text(), QStringLiteral("Shop"));
            EXPECT_EQ(dialog->EditUrl()->text(), QStringLiteral("shop.example"));
            dialog->EditName()->setText(QStringLiteral("SHOP "));
            dialog->EditUrl()->setText(QStringLiteral("www.shop.example"));
            dialog->BBtnOk()->click();
        })
        .then([](QDialog& d) {
            auto* dialog = As<TfrmAddOwnSite>(d);
            ASSERT_TRUE(dialog);
            dialog->EditName()->setText(QStringLiteral("Other"));
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
    const std::optional<rMySiteInfo> changed = AskChangedWebsite(nullptr, websites, websites.children()[0]);
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->Name, QByteArray("SHOP"));
    EXPECT_EQ(changed->Url, QByteArray("www.shop.example"));
    EXPECT_EQ(changed->Id, 3);
    EXPECT_FALSE(AskChangedWebsite(nullptr, websites, websites.children()[1]));
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(prompts.shown.isEmpty());
}

}  // namespace
