#include "app/LinksPane.h"
#include "app/LinksView.h"
#include "app/MainCommands.h"
#include "app/UnitMain.h"
#include "app/WebsitesPane.h"
#include "dialogs/ErrorBox.h"
#include "dialogs/UnitEditItem.h"
#include "gui/MenuEntry.h"
#include "gui/ModalScript.h"
#include "model/AppError.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"
#include "support/FakePrompts.h"
#include "support/FakeShell.h"
#include "support/SampleData.h"
#include "support/TempAppDir.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// "text" or "text\tshortcut", "-" for a separator; a submenu lists its entries indented after it.
QStringList Describe(const QMenu* menu, const QString& indent = QString())
{
    QStringList lines;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            lines << indent + QStringLiteral("-");
            continue;
        }
        QString line = indent + action->text();
        if (!action->shortcut().isEmpty())
            line += u'\t' + action->shortcut().toString();
        lines << line;
        if (action->menu())
            lines << Describe(action->menu(), indent + QStringLiteral("  "));
    }
    return lines;
}

// Each button as "name|caption|tool tip", "-" for a separator.
QStringList Describe(const QToolBar* bar)
{
    QStringList lines;
    for (QAction* action : bar->actions()) {
        if (action->isSeparator()) {
            lines << QStringLiteral("-");
            continue;
        }
        auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
        if (!button)
            continue;
        lines << button->objectName() + u'|' + button->text() + u'|' + button->toolTip();
        EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon) << button->objectName().toStdString();
        EXPECT_EQ(button->iconSize(), QSize(24, 24));
        EXPECT_TRUE(button->autoRaise());
        EXPECT_FALSE(button->icon().isNull());
    }
    return lines;
}

class CommandsTest : public ::testing::Test {
protected:
    TempAppDir appDir;
    InstalledFakePrompts prompts;
    TfrmMain window;
};

TEST_F(CommandsTest, MenuBarHasEveryEntryAndShortcut)
{
    QStringList lines;
    for (QAction* top : window.menuBar()->actions())
        lines << top->text() << Describe(top->menu(), QStringLiteral("  "));
    const QStringList expected = {
        QStringLiteral("&File"),
        QStringLiteral("  &Backup settings..."),
        QStringLiteral("  &Restore settings..."),
        QStringLiteral("  -"),
        QStringLiteral("  &Import inbound links from file..."),
        QStringLiteral("  Export to &CSV..."),
        QStringLiteral("  -"),
        QStringLiteral("  E&xit\tCtrl+Q"),
        QStringLiteral("&My websites"),
        QStringLiteral("  &New..."),
        QStringLiteral("  M&odify..."),
        QStringLiteral("  &Delete"),
        QStringLiteral("&Inbound links"),
        QStringLiteral("  New...\tCtrl+N"),
        QStringLiteral("  Modify...\tCtrl+E"),
        QStringLiteral("  Delete\tDel"),
        QStringLiteral("  -"),
        QStringLiteral("  Select All\tCtrl+A"),
        QStringLiteral("  -"),
        QStringLiteral("  &Report"),
        QStringLiteral("&Check"),
        QStringLiteral("  Check &All\tCtrl+R"),
        QStringLiteral("  Check &Selected"),
        QStringLiteral("  -"),
        QStringLiteral("  S&top"),
        QStringLiteral("&View"),
        QStringLiteral("  &Details\tF11"),
        QStringLiteral("  What &Changed\tF9"),
        QStringLiteral("&Tools"),
        QStringLiteral("  &Options"),
        QStringLiteral("&Help"),
        QStringLiteral("  Help\tF1"),
        QStringLiteral("  &Contact us..."),
        QStringLiteral("  &About..."),
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(CommandsTest, PopupMenusHaveEveryEntry)
{
    EXPECT_EQ(Describe(window.commands().PMExplorer()),
              (QStringList{QStringLiteral("New..."), QStringLiteral("Modify..."), QStringLiteral("Delete")}));
    const QStringList expected = {
        QStringLiteral("Arrange By"),
        QStringLiteral("  Result"),
        QStringLiteral("  Name"),
        QStringLiteral("  Url"),
        QStringLiteral("  First name"),
        QStringLiteral("  Last name"),
        QStringLiteral("  E - mail"),
        QStringLiteral("  Created"),
        QStringLiteral("  Last monitor"),
        QStringLiteral("-"),
        QStringLiteral("New...\tCtrl+N"),
        QStringLiteral("Modify...\tCtrl+E"),
        QStringLiteral("Delete\tDel"),
        QStringLiteral("-"),
        QStringLiteral("Select All\tCtrl+A"),
        QStringLiteral("-"),
        QStringLiteral("Check selected"),
        QStringLiteral("-"),
        QStringLiteral("&Open url with IE..."),
        QStringLiteral("Send E - &mail..."),
        QStringLiteral("-"),
        QStringLiteral("&Report"),
    };
    EXPECT_EQ(Describe(window.commands().PMIL()), expected);
}

TEST_F(CommandsTest, NoShortcutHasTwoOwners)
{
    // Two actions with one shortcut make Qt ignore the key as ambiguous.
    QMultiHash<QKeySequence, QAction*> owners;
    for (QAction* action : window.findChildren<QAction*>()) {
        for (const QKeySequence& key : action->shortcuts())
            owners.insert(key, action);
    }
    QStringList keys;
    for (const QKeySequence& key : owners.uniqueKeys()) {
        keys.append(key.toString());
        EXPECT_EQ(owners.count(key), 1) << key.toString().toStdString();
    }
    keys.sort();
    EXPECT_EQ(keys,
              (QStringList{QStringLiteral("Ctrl+A"), QStringLiteral("Ctrl+E"), QStringLiteral("Ctrl+F"),
                           QStringLiteral("Ctrl+N"), QStringLiteral("Ctrl+Q"), QStringLiteral("Ctrl+R"),
                           QStringLiteral("Del"), QStringLiteral("Enter"), QStringLiteral("F1"), QStringLiteral("F11"),
                           QStringLiteral("F5"), QStringLiteral("F9"), QStringLiteral("Return")}));
}

TEST(StandardKeys, HelpModifyAndExitAnswerTheirUsualKeys)
{
    TempAppDir appDir;
    WriteTwoWebsitesOneLink(appDir.path());
    appDir.write(QStringLiteral("Quorvane.html"), "<html></html>");
    InstalledFakePrompts prompts;
    InstalledFakeShell shell;
    TfrmMain window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_EQ(shell.calls, QList<QString>{QStringLiteral("file ") + appDir.file(QStringLiteral("Quorvane.html"))});

    // Return on a row of the list modifies it; elsewhere it is left to whoever has the focus.
    QTreeView* list = window.linksPane().VSTItem();
    list->setFocus();
    window.links().setSelected(0, true);
    ModalScript script;
    script.then([](QDialog& d) {
        auto* dialog = As<TfrmEditItem>(d);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->EditAddress()->text(), QStringLiteral("http://p1.example/"));
        dialog->reject();
    });
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_TRUE(script.finished());
    window.websitesPane().VSTExplorer()->setFocus();
    QTest::keyClick(window.websitesPane().VSTExplorer(), Qt::Key_Return);
    EXPECT_EQ(script.unexpected(), 0);

    // Stop has a menu entry of its own besides its button.
    MenuEntry(window, QStringLiteral("&Check"), QStringLiteral("S&top"))->trigger();
    EXPECT_TRUE(window.stopRequested());

    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(CommandsTest, ToolBarsHaveEveryButtonCaptionAndTip)
{
    EXPECT_EQ(Describe(window.commands().ToolBarMySites()),
              (QStringList{QStringLiteral("TBNewMySite|New|Add your own website"), QStringLiteral("-"),
                           QStringLiteral("TBModifyMySite|Modify|Edit your own website's properties"),
                           QStringLiteral("-"), QStringLiteral("TBDelMySite|Delete|Delete selected website")}));
    EXPECT_EQ(Describe(window.commands().ToolBar1()),
              (QStringList{QStringLiteral("TBNewItem|New|Add a new inbound link"),
                           QStringLiteral("ToolButton2|Modify|Edit inbound link properties"),
                           QStringLiteral("ToolButton3|Delete|Delete selected inbound link"), QStringLiteral("-"),
                           QStringLiteral("ToolButtonRun|Check|Start checking"), QStringLiteral("ToolButton1|Stop|"),
                           QStringLiteral("-"), QStringLiteral("ToolButtonReport|Report|Generate report"),
                           QStringLiteral("-"), QStringLiteral("ToolButton6|Options|"),
                           QStringLiteral("ToolButton7|Help|")}));
    auto* newItem = window.findChild<QToolButton*>(QStringLiteral("TBNewItem"));
    ASSERT_NE(newItem, nullptr);
    EXPECT_EQ(newItem->menu(), window.commands().PMNewByMy());
    EXPECT_EQ(newItem->popupMode(), QToolButton::MenuButtonPopup);
    EXPECT_GE(window.commands().ToolBar1()->height(), 48);
}

TEST_F(CommandsTest, NewByMyListsEveryWebsiteWithItsId)
{
    EXPECT_TRUE(window.commands().PMNewByMy()->actions().isEmpty());
    WebsiteTree websites;
    websites.AddRootWebsite();
    websites.append({"Tom & Jerry", "tj.example", 4});
    websites.append({"Second", "two.example", 9});
    window.commands().RefreshNewByMy(websites);
    window.commands().RefreshNewByMy(websites);  // rebuilt, not appended to
    const QList<QAction*> entries = window.commands().PMNewByMy()->actions();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]->text(), QStringLiteral("Tom && Jerry"));
    EXPECT_EQ(entries[0]->data().toInt(), 4);
    EXPECT_EQ(entries[1]->text(), QStringLiteral("Second"));
    EXPECT_EQ(entries[1]->data().toInt(), 9);
}

TEST_F(CommandsTest, ArrangeByMarksStayOnceSet)
{
    QMenu* arrange = window.commands().PMIL()->actions().constFirst()->menu();
    ASSERT_NE(arrange, nullptr);
    const QList<QAction*> entries = arrange->actions();
    entries[2]->trigger();
    entries[2]->trigger();
    entries[7]->trigger();
    EXPECT_TRUE(entries[2]->isChecked());
    EXPECT_TRUE(entries[7]->isChecked());
    EXPECT_FALSE(entries[0]->isChecked());
}

TEST(ErrorBox, FullStopIsAppendedOnlyAfterCharactersBeyondTheFullStop)
{
    EXPECT_EQ(WithFullStop(QStringLiteral("Disk full")), QStringLiteral("Disk full."));
    EXPECT_EQ(WithFullStop(QStringLiteral("Error 42")), QStringLiteral("Error 42."));
    EXPECT_EQ(WithFullStop(QStringLiteral("Done.")), QStringLiteral("Done."));
    EXPECT_EQ(WithFullStop(QStringLiteral("Really?")), QStringLiteral("Really?."));  // '?' comes after '.'
    EXPECT_EQ(WithFullStop(QStringLiteral("Stop!")), QStringLiteral("Stop!"));
    EXPECT_EQ(WithFullStop(QStringLiteral("path/")), QStringLiteral("path/."));
    EXPECT_EQ(WithFullStop(QStringLiteral("(x)")), QStringLiteral("(x)"));
    EXPECT_EQ(WithFullStop(QString()), QString());
}

// Throws from inside Qt's event delivery, as a failing event handler would.
class Thrower : public QObject {
public:
    std::function<void()> fail;
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            fail();
        return QObject::event(event);
    }
};

TEST(ErrorBox, FailuresEscapingEventDeliveryEndInTheErrorBoxAndDeliveryGoesOn)
{
    InstalledFakePrompts prompts;
    Thrower thrower;
    QEvent event(QEvent::User);

    thrower.fail = [] { throw AppError(QStringLiteral("Cannot create file \"x\". Permission denied")); };
    QCoreApplication::sendEvent(&thrower, &event);
    thrower.fail = [] { throw std::runtime_error("bad thing"); };
    QCoreApplication::sendEvent(&thrower, &event);
    thrower.fail = [] { throw 42; };
    QCoreApplication::sendEvent(&thrower, &event);
    bool delivered = false;
    thrower.fail = [&delivered] { delivered = true; };
    QCoreApplication::sendEvent(&thrower, &event);
    EXPECT_TRUE(delivered);

    ASSERT_EQ(prompts.shown.size(), 3);
    for (const FakePrompts::Shown& shown : prompts.shown)
        EXPECT_EQ(shown.kind, Prompts::Kind::Error);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("Cannot create file \"x\". Permission denied."));
    EXPECT_EQ(prompts.shown[1].text, QStringLiteral("bad thing."));
    EXPECT_EQ(prompts.shown[2].text, QStringLiteral("An unexpected error occurred."));
}

}  // namespace
