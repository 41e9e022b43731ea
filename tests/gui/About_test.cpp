#include "app/HelpCommands.h"
#include "dialogs/UnitAbout.h"
#include "support/FakeShell.h"
#include "support/QtPrinters.h"
#include "support/TempAppDir.h"
#include "support/TempInstall.h"

#include <QFile>
#include <QGuiApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(About, ShowsNameVersionAndTheTwoAddressesAsLinks)
{
    TfrmAbout about;
    EXPECT_EQ(about.windowTitle(), u"About"_s);
    EXPECT_EQ(about.LabelProduct()->text(), u"Quorvane"_s);
    EXPECT_TRUE(about.LabelProduct()->font().bold());
    EXPECT_GT(about.LabelProduct()->font().pointSizeF(), about.LabelVersion()->font().pointSizeF());
    EXPECT_EQ(about.LabelVersion()->text(), u"Version  3.1"_s);
    EXPECT_EQ(about.Label6()->text(), u"support@quorvane.example"_s);
    EXPECT_EQ(about.Label5()->text(), u"https://quorvane.example"_s);
    for (QLabel* link : {static_cast<QLabel*>(about.Label5()), static_cast<QLabel*>(about.Label6())}) {
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_EQ(about.BBtnOk()->text(), u"OK"_s);
    EXPECT_TRUE(about.BBtnOk()->isDefault());
}

TEST(About, ShowsTheDataFolderBeneathTheAddresses)
{
    const TempInstall installed;
    TfrmAbout about;
    EXPECT_EQ(about.LabelDataFolder()->text(), u"Data folder: "_s + installed.root() + u"xdg/quorvane"_s);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    EXPECT_GT(about.LabelDataFolder()->y(), about.Label5()->y() + about.Label5()->height());
    // The path fits: the box grows with it.
    EXPECT_GE(about.LabelDataFolder()->width(), about.LabelDataFolder()->sizeHint().width());
}

TEST(About, ClickingTheLinksOpensThemAndLeavesTheBoxOpen)
{
    InstalledFakeShell shell;
    TfrmAbout about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(about.Label5(), Qt::LeftButton);
    QTest::mouseClick(about.Label6(), Qt::LeftButton);
    QTest::mouseClick(about.Label6(), Qt::RightButton);
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(shell.calls,
              (QStringList{u"url https://quorvane.example/?from=software"_s,
                           u"mail mailto:support@quorvane.example?subject=Customer support"_s}));
}

TEST(About, EnterAndEscapeBothCloseTheBox)
{
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        TfrmAbout about;
        about.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
        QTest::keyClick(&about, static_cast<Qt::Key>(key));
        EXPECT_FALSE(about.isVisible()) << key;
    }
}

TEST(About, OpenAboutBoxShowsItModallyAndFreesIt)
{
    QWidget owner;
    bool shown = false;
    QTimer::singleShot(0, &owner, [&] {
        auto* about = owner.findChild<TfrmAbout*>();
        shown = about && about->isModal() && about->isVisible();
        if (about)
            about->BBtnOk()->click();
    });
    OpenAboutBox(&owner);
    EXPECT_TRUE(shown);
    EXPECT_EQ(owner.findChild<TfrmAbout*>(), nullptr);
}

TEST(Help, TheGuideAndTheContactPageGoToTheShellAndAMissingGuideDoesNothing)
{
    InstalledFakeShell shell;
    TempAppDir dir;
    OpenHelpFile();
    EXPECT_TRUE(shell.calls.isEmpty());

    dir.write(u"Quorvane.html"_s, "<html></html>");
    OpenHelpFile();
    OpenContactPage();
    EXPECT_EQ(shell.calls,
              (QStringList{u"file "_s + dir.file(u"Quorvane.html"_s),
                           u"url https://quorvane.example/contact.php?from=software"_s}));
}

TEST(Help, AnInstalledCopyOpensItsSharedGuideOrTheUsersOwnCopy)
{
    InstalledFakeShell shell;
    const TempInstall installed;
    installed.write(u"share/quorvane/Quorvane.html"_s, "<html></html>");
    OpenHelpFile();
    installed.write(u"xdg/quorvane/Quorvane.html"_s, "<html>mine</html>");
    OpenHelpFile();
    EXPECT_EQ(shell.calls,
              (QStringList{u"file "_s + installed.shared() + u"Quorvane.html"_s,
                           u"file "_s + installed.dataFolder() + u"Quorvane.html"_s}));
}

}  // namespace

namespace {

QByteArray sourceFile(const QByteArray& path)
{
    QFile file(qEnvironmentVariable("QUORVANE_SOURCE_DIR") + u'/' + QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The desktop's menu entry and the window show the same icon, and the entry starts the program.
TEST(DesktopEntry, NamesTheProgramAndTheIconThatShipsWithIt)
{
    const QByteArray entry = sourceFile("data/quorvane.desktop");
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nExec=quorvane\n"));
    EXPECT_TRUE(entry.contains("\nIcon=quorvane\n"));
    EXPECT_EQ(QGuiApplication::desktopFileName(), u"quorvane"_s);
    EXPECT_EQ(sourceFile("data/quorvane.svg"), sourceFile("app/icons/quorvane.svg"));
}

// Every picture the guide shows ships beside it, and is the screenshot of the program as it is now.
TEST(UserGuide, ShowsOnlyPicturesThatShipAndMatchTheCurrentScreenshots)
{
    const QString guide = QString::fromUtf8(sourceFile("data/Quorvane.html"));
    static const QRegularExpression image(u"src=\"help/([^\"]+)\""_s);
    int pictures = 0;
    for (const QRegularExpressionMatch& match : image.globalMatch(guide)) {
        const QByteArray name = match.captured(1).toUtf8();
        const QByteArray shipped = sourceFile("data/help/" + name);
        EXPECT_NE(shipped, "<missing>") << name.constData();
        EXPECT_EQ(shipped, sourceFile("docs/" + name)) << name.constData();
        ++pictures;
    }
    EXPECT_GE(pictures, 2);
    EXPECT_TRUE(guide.contains(u"quorvane-check [--appdir DIR] [--site NAME]"_s));
}

}  // namespace
