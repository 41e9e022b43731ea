#include "app/LinksPane.h"
#include "app/MainCommands.h"
#include "app/UnitMain.h"
#include "app/WebsiteTreeModel.h"
#include "app/WebsitesPane.h"
#include "support/FakePrompts.h"
#include "support/TempAppDir.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QMenu>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

class WebsitesPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const rMySiteInfo& site : {rMySiteInfo{"One", "one.example", 1}, rMySiteInfo{"Two", "two.example", 2},
                                        rMySiteInfo{"Three", "three.example", 3}})
            model().appendWebsite(site);
        window.RefreshNewByMy();
    }

    WebsitesPane& pane() { return window.websitesPane(); }
    WebsiteTreeModel& model() { return pane().model(); }
    QString caption() { return window.linksPane().caption(); }
    QStringList newByMy()
    {
        QStringList names;
        for (QAction* entry : window.commands().PMNewByMy()->actions())
            names << entry->text();
        return names;
    }

    TempAppDir appDir;
    InstalledFakePrompts prompts;
    TfrmMain window;
};

TEST_F(WebsitesPaneTest, TreeShowsNamesImagesAndUrlTips)
{
    QAbstractItemModelTester tester(&model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QModelIndex root = model().rootIndex();
    EXPECT_EQ(model().rowCount(root), 3);
    const QModelIndex two = model().websiteIndex(1);
    EXPECT_EQ(model().data(two).toString(), QStringLiteral("Two"));
    EXPECT_EQ(model().data(two, Qt::ToolTipRole).toString(), QStringLiteral("two.example"));
    EXPECT_FALSE(model().data(root, Qt::ToolTipRole).isValid());
    EXPECT_FALSE(model().data(root, Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(model().data(two, Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_TRUE(pane().VSTExplorer()->isHeaderHidden());
    EXPECT_EQ(pane().VSTExplorer()->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_TRUE(pane().VSTExplorer()->isExpanded(root));
}

TEST_F(WebsitesPaneTest, FocusFiltersCaptionAndNoNodeCountsAsAllWebsites)
{
    pane().SelectWebsiteById(2);
    EXPECT_EQ(pane().focusedId(), 2);
    EXPECT_EQ(caption(), QStringLiteral("  Inbound Links for Two"));

    pane().focusRoot();
    EXPECT_EQ(caption(), QStringLiteral("  Inbound Links for all my websites"));

    pane().SelectWebsiteById(3);
    pane().VSTExplorer()->selectionModel()->clearCurrentIndex();
    EXPECT_EQ(pane().focusedSite(), nullptr);
    EXPECT_EQ(caption(), QStringLiteral("  Inbound Links for all my websites"));
}

TEST_F(WebsitesPaneTest, SelectWebsiteByIdIgnoresTheRootAndUnknownIds)
{
    pane().SelectWebsiteById(1);
    pane().SelectWebsiteById(0);
    pane().SelectWebsiteById(77);
    EXPECT_EQ(pane().focusedId(), 1);
    EXPECT_EQ(pane().VSTExplorer()->selectionModel()->selectedIndexes().size(), 1);
}

TEST_F(WebsitesPaneTest, DuplicateIdsFocusTheLastAndItNamesTheCaption)
{
    model().appendWebsite({"Copy of One", "copy.example", 1});
    pane().SelectWebsiteById(1);
    EXPECT_EQ(pane().focusedRow(), 3);
    EXPECT_EQ(caption(), QStringLiteral("  Inbound Links for Copy of One"));
    EXPECT_EQ(pane().VSTExplorer()->selectionModel()->selectedIndexes().size(), 1);
}

TEST_F(WebsitesPaneTest, NewByMyFollowsTheWebsitesInTreeOrder)
{
    EXPECT_EQ(newByMy(), (QStringList{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")}));
}

TEST_F(WebsitesPaneTest, DeleteAsksNamingTheWebsiteAndNoKeepsEverything)
{
    pane().SelectWebsiteById(2);
    prompts.queueAnswer(false);
    window.DeleteOwnSelected();
    ASSERT_EQ(prompts.questions.size(), 1);
    EXPECT_EQ(prompts.questions[0], QStringLiteral("Delete the website \"Two\" and its 0 inbound link(s)?"));
    EXPECT_EQ(model().rowCount(model().rootIndex()), 3);
    EXPECT_EQ(pane().focusedId(), 2);
}

TEST_F(WebsitesPaneTest, DeleteOnYesRemovesTheWebsiteAndFocusesAllMyWebsites)
{
    pane().SelectWebsiteById(2);
    prompts.queueAnswer(true);
    window.DeleteOwnSelected();
    EXPECT_EQ(model().rowCount(model().rootIndex()), 2);
    EXPECT_EQ(window.websites().indexOfId(2), -1);
    EXPECT_EQ(pane().focusedSite(), &window.websites().root());
    EXPECT_EQ(caption(), QStringLiteral("  Inbound Links for all my websites"));
    EXPECT_EQ(newByMy(), (QStringList{QStringLiteral("One"), QStringLiteral("Three")}));
    EXPECT_EQ(prompts.unexpectedQuestions, 0);
}

TEST_F(WebsitesPaneTest, DeleteAndModifyDoNothingOnTheRootOrWithoutFocus)
{
    window.DeleteOwnSelected();
    pane().focusRoot();
    window.DeleteOwnSelected();
    window.EditOwnExist();
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_EQ(model().rowCount(model().rootIndex()), 3);
    EXPECT_EQ(model().rowCount(), 1);
}

}  // namespace
