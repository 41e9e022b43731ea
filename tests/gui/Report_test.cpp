#include "dialogs/WebsiteCheckList.h"
#include "model/AppError.h"
#include "model/DateTime.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"
#include "report/ReportBuilder.h"
#include "report/UnitReport.h"
#include "support/FakeFileDialogs.h"
#include "support/FakePrompts.h"
#include "support/FakeShell.h"
#include "support/QtPrinters.h"
#include "support/StepClock.h"
#include "support/TempAppDir.h"
#include "support/TempInstall.h"

#include <QDir>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using Shown = FakePrompts::Shown;
using Kind = Prompts::Kind;

// 2026-03-05 14:07:09
constexpr double ReportTime = 46086.0 + (14 * 3600 + 7 * 60 + 9) / 86400.0;

LocaleFormats Formats(QChar decimalSeparator = u'.')
{
    return {QStringLiteral("M/d/yyyy"), QStringLiteral("h:mm:ss AP"), decimalSeparator};
}

WebsiteTree ThreeWebsites()
{
    WebsiteTree websites;
    websites.AddRootWebsite();
    websites.append({"Garden", "garden.example", 4});
    websites.append({"Bikes & <b>", "bikes.example", 2});
    websites.append({"Empty", "empty.example", 9});
    return websites;
}

void AddLink(LinkList& links, std::int32_t siteId, LinkStatus status)
{
    auto link = std::make_shared<rMonitorInfo>();
    link->SiteId = siteId;
    link->PageUrl = "http://p" + QByteArray::number(links.rowCount()) + ".example";
    link->Status = status;
    links.append(link);
}

class ReportTest : public ::testing::Test {
protected:
    ReportTest()
    {
        appDir.write(QStringLiteral("Title.fmt"),
                     "<h1>[Report Time]</h1>\r\n<p>[Total] [Website] [report time]</p>\r\n");
        appDir.write(QStringLiteral("Body.fmt"),
                     "<tr>\n<td>[Website]</td><td>[Total]</td>\n<td>[Found]</td>"
                     "<td>[NotFound]</td><td>[Error]</td><td>[website] [Report Time]</td>\n"
                     "</tr>");
        appDir.write(QStringLiteral("Bottom.fmt"), "[Website]\n</table>");
        // Garden: 2 of 3 found, 1 connection error... of 3; Bikes: all unchecked or checking.
        AddLink(links, 4, lsFound);
        AddLink(links, 2, lsUnchecked);
        AddLink(links, 4, lsConnectionError);
        AddLink(links, 4, lsFound);
        AddLink(links, 2, lsChecking);
        AddLink(links, 5, lsNotFound);  // a website that is not in the pane
    }

    QString reportPath() const { return appDir.file(QStringLiteral("report.htm")); }

    // Ticks the rows, generates into report.htm and answers No to viewing it.
    QByteArray generate(TfrmReport& dialog, std::initializer_list<int> ticked)
    {
        for (int row : ticked)
            dialog.VSTSites()->setMarked(row, true);
        fileDialogs.queueFileName(reportPath());
        prompts.queueAnswer(false);
        dialog.BtnGenerate()->click();
        return appDir.read(QStringLiteral("report.htm"));
    }

    TempAppDir appDir;
    InstalledFakePrompts prompts;
    InstalledFakeFileDialogs fileDialogs;
    InstalledFakeShell shell;
    InstalledStepClock clock{ReportTime, 0};
    WebsiteTree websites = ThreeWebsites();
    LinkList links;
};

TEST(ReportPercent, TwoDecimalsWithHalvesRoundedAwayFromZero)
{
    EXPECT_EQ(ReportPercent(1, 32, u'.'), "3.13");
    EXPECT_EQ(ReportPercent(2, 3, u'.'), "66.67");
    EXPECT_EQ(ReportPercent(1, 3, u'.'), "33.33");
    EXPECT_EQ(ReportPercent(0, 5, u'.'), "0.00");
    EXPECT_EQ(ReportPercent(5, 5, u'.'), "100.00");
    EXPECT_EQ(ReportPercent(1, 8, u'.'), "12.50");
    EXPECT_EQ(ReportPercent(1, 20000, u'.'), "0.01");
    EXPECT_EQ(ReportPercent(1, 20001, u'.'), "0.00");
    EXPECT_EQ(ReportPercent(2147483646, 2147483647, u'.'), "100.00");
    EXPECT_EQ(ReportPercent(2, 3, u','), "66,67");
}

TEST_F(ReportTest, ListsTheWebsitesUnticked)
{
    TfrmReport dialog(nullptr, websites, links, Formats());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Report"));
    ASSERT_EQ(dialog.VSTSites()->count(), 3);
    EXPECT_EQ(dialog.VSTSites()->site(1).Name, "Bikes & <b>");
    for (int row = 0; row < 3; ++row)
        EXPECT_FALSE(dialog.VSTSites()->isMarked(row));
    EXPECT_EQ(dialog.BtnGenerate()->text(), QStringLiteral("Generate report"));
    EXPECT_EQ(dialog.BtnClose()->text(), QStringLiteral("&Close"));
}

TEST_F(ReportTest, TickedWebsitesInListOrderWithTheirBodiesOnOneLine)
{
    TfrmReport dialog(nullptr, websites, links, Formats());
    // Ticked out of order; "Empty" has no links and is left out entirely.
    const QByteArray report = generate(dialog, {2, 1, 0});
    EXPECT_EQ(report,
              "<h1>3/5/2026 2:07:09 PM</h1>\r\n"
              "<p>[Total] [Website] [report time]</p>\r\n"
              "<tr><td>Garden</td><td>3</td><td>2 (66.67%)</td><td>0 (0.00%)</td><td>1 (33.33%)</td>"
              "<td>[website] [Report Time]</td></tr>"
              "<tr><td>Bikes & <b></td><td>2</td><td>0 (0.00%)</td><td>0 (0.00%)</td><td>0 (0.00%)</td>"
              "<td>[website] [Report Time]</td></tr>\r\n"
              "[Website]\r\n"
              "</table>\r\n");
    EXPECT_EQ(prompts.questions, (QList<QString>{QStringLiteral("Do you want to view the report now?")}));
    EXPECT_TRUE(shell.calls.isEmpty());
    ASSERT_EQ(fileDialogs.saved.size(), 1);
    EXPECT_EQ(fileDialogs.saved[0].title, QStringLiteral("Save report as html file"));
    EXPECT_EQ(fileDialogs.saved[0].filter, QStringLiteral("Html file (*.htm)"));
    EXPECT_EQ(fileDialogs.saved[0].defaultExtension, QStringLiteral("htm"));
    EXPECT_TRUE(dialog.BtnGenerate()->isEnabled());
    EXPECT_EQ(dialog.BtnGenerate()->text(), QStringLiteral("Generate report"));
}

TEST_F(ReportTest, OnlyWebsitesWithoutLinksGiveTheTitleAnEmptyLineAndTheBottom)
{
    TfrmReport dialog(nullptr, websites, links, Formats());
    EXPECT_EQ(generate(dialog, {2}),
              "<h1>3/5/2026 2:07:09 PM</h1>\r\n<p>[Total] [Website] [report time]</p>\r\n"
              "\r\n[Website]\r\n</table>\r\n");
}

TEST_F(ReportTest, NothingTickedAsksForAWebsiteAndWritesNothing)
{
    TfrmReport dialog(nullptr, websites, links, Formats());
    EXPECT_EQ(generate(dialog, {}), QByteArray());
    EXPECT_EQ(prompts.shown, (QList<Shown>{{Kind::Information, QStringLiteral("Please select a website")}}));
    EXPECT_TRUE(fileDialogs.saved.isEmpty());
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_FALSE(QFile::exists(reportPath()));
    EXPECT_TRUE(dialog.BtnGenerate()->isEnabled());
}

TEST_F(ReportTest, TheLocaleDecimalSeparatorIsUsed)
{
    TfrmReport dialog(nullptr, websites, links, Formats(u','));
    EXPECT_EQ(dialog.BuildSiteBody(4, "[Found]|[NotFound]|[Error]|[Total]"), "2 (66,67%)|0 (0,00%)|1 (33,33%)|3");
    EXPECT_TRUE(dialog.BuildSiteBody(9, "[Total]").isEmpty());
}

TEST_F(ReportTest, LinkKindsCountFromEachLinksLatestDetails)
{
    // Garden's three links: one with a followed link, one with a mention, one never analysed.
    const auto withKind = [](LinkKind kind) {
        CheckFacts facts;
        facts.httpStatus = 200;
        facts.analysis.kind = kind;
        return CheckDetails(facts);
    };
    links.setDetails(links.record(0), withKind(LinkKind::Followed));
    links.setDetails(links.record(2), withKind(LinkKind::Mention));
    links.setDetails(links.record(4), withKind(LinkKind::Nofollow));  // Bikes
    TfrmReport dialog(nullptr, websites, links, Formats());
    EXPECT_EQ(dialog.BuildSiteBody(4, "[Followed]|[Nofollow]|[Mention]|[Found]"),
              "1 (33.33%)|0 (0.00%)|1 (33.33%)|2 (66.67%)");
    EXPECT_EQ(dialog.BuildSiteBody(2, "[Followed]|[Nofollow]|[Mention]"), "0 (0.00%)|1 (50.00%)|0 (0.00%)");
}

TEST_F(ReportTest, AskingToViewOpensTheWrittenFile)
{
    TfrmReport dialog(nullptr, websites, links, Formats());
    dialog.VSTSites()->setMarked(0, true);
    fileDialogs.queueFileName(reportPath());
    prompts.queueAnswer(true);
    dialog.BtnGenerate()->click();
    EXPECT_EQ(shell.calls, (QList<QString>{QStringLiteral("file ") + reportPath()}));
    // The ticks stay for the next generation.
    EXPECT_TRUE(dialog.VSTSites()->isMarked(0));
}

TEST_F(ReportTest, CancellingTheSaveWritesNothingAndAsksNothing)
{
    TfrmReport dialog(nullptr, websites, links, Formats());
    dialog.VSTSites()->setMarked(0, true);
    dialog.BtnGenerate()->click();
    EXPECT_EQ(fileDialogs.saved.size(), 1);
    EXPECT_EQ(QDir(appDir.path()).entryList(QDir::Files).size(), 3);
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_TRUE(dialog.BtnGenerate()->isEnabled());
    EXPECT_EQ(dialog.BtnGenerate()->text(), QStringLiteral("Generate report"));
}

TEST_F(ReportTest, AMissingTemplateIsReportedBeforeAnythingIsAskedAndTheButtonComesBack)
{
    QFile::remove(appDir.file(QStringLiteral("Body.fmt")));
    TfrmReport dialog(nullptr, websites, links, Formats());
    dialog.VSTSites()->setMarked(0, true);
    dialog.BtnGenerate()->click();
    EXPECT_EQ(prompts.shown,
              (QList<Shown>{{Kind::Error,
                             QStringLiteral("Cannot open file \"%1\". No such file or "
                                            "directory.")
                                 .arg(appDir.file(QStringLiteral("Body.fmt")))}}));
    EXPECT_TRUE(fileDialogs.saved.isEmpty());
    EXPECT_TRUE(dialog.BtnGenerate()->isEnabled());
    EXPECT_EQ(dialog.BtnGenerate()->text(), QStringLiteral("Generate report"));
}

TEST_F(ReportTest, AReportThatCannotBeWrittenIsReportedAndNotOffered)
{
    TfrmReport dialog(nullptr, websites, links, Formats());
    dialog.VSTSites()->setMarked(1, true);
    const QString path = appDir.file(QStringLiteral("no-such-dir/report.htm"));
    fileDialogs.queueFileName(path);
    EXPECT_THROW(dialog.BtnGenerateClick(), AppError);
    fileDialogs.queueFileName(path);
    dialog.BtnGenerate()->click();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path)));
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_TRUE(dialog.BtnGenerate()->isEnabled());
}

// Looks at the button while the save dialog is up.
class ButtonWatchingFileDialogs : public FakeFileDialogs {
public:
    QString saveFileName(QWidget* parent, const FileDialogRequest& request) override
    {
        const auto* dialog = static_cast<TfrmReport*>(parent);
        enabledMeanwhile = dialog->BtnGenerate()->isEnabled();
        captionMeanwhile = dialog->BtnGenerate()->text();
        return FakeFileDialogs::saveFileName(parent, request);
    }
    bool enabledMeanwhile = true;
    QString captionMeanwhile;
};

TEST_F(ReportTest, TheButtonSaysGeneratingAndIsDisabledMeanwhile)
{
    TfrmReport dialog(nullptr, websites, links, Formats());
    dialog.VSTSites()->setMarked(0, true);
    ButtonWatchingFileDialogs watching;
    const ScopedFileDialogs scope(watching);
    dialog.BtnGenerate()->click();
    EXPECT_FALSE(watching.enabledMeanwhile);
    EXPECT_EQ(watching.captionMeanwhile, QStringLiteral("Generating..."));
    EXPECT_TRUE(dialog.BtnGenerate()->isEnabled());
}

TEST_F(ReportTest, AnEditedTemplateInTheDataFolderTakesThePlaceOfTheShippedOne)
{
    const TempInstall installed;
    installed.write(QStringLiteral("share/quorvane/Title.fmt"), "<h1>shipped title</h1>");
    installed.write(QStringLiteral("share/quorvane/Body.fmt"), "<p>shipped [Website]</p>");
    installed.write(QStringLiteral("share/quorvane/Bottom.fmt"), "<p>shipped end</p>");
    installed.write(QStringLiteral("xdg/quorvane/Body.fmt"), "<p>edited [Website] [Total]</p>");
    TfrmReport dialog(nullptr, websites, links, Formats());
    EXPECT_EQ(generate(dialog, {0}), "<h1>shipped title</h1>\r\n<p>edited Garden 3</p>\r\n<p>shipped end</p>\r\n");
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(ReportTest, TheShippedTemplatesHoldTheirPlaceholders)
{
    // The templates that ship beside the program, as the build copies them.
    const QString shipped = qEnvironmentVariable("QUORVANE_SOURCE_DIR") + QStringLiteral("/data/");
    for (const char* name : {"Title.fmt", "Body.fmt", "Bottom.fmt"}) {
        QFile source(shipped + QLatin1String(name));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << name;
        appDir.write(QLatin1String(name), source.readAll());
    }
    // A name as the user typed it: the report writes its bytes unchanged and says they are UTF-8.
    websites.append({"Caf\xc3\xa9 Blog", "cafe.example", 11});
    AddLink(links, 11, lsFound);
    TfrmReport dialog(nullptr, websites, links, Formats());
    const QByteArray report = generate(dialog, {0, 1, 3});
    EXPECT_TRUE(report.contains("<meta charset=\"utf-8\">"));
    EXPECT_TRUE(report.contains(">Caf\xc3\xa9 Blog<"));
    EXPECT_TRUE(report.contains("3/5/2026 2:07:09 PM"));
    EXPECT_TRUE(report.contains(">Garden<"));
    EXPECT_TRUE(report.contains(">2 (66.67%)<"));
    EXPECT_TRUE(report.contains(">1 (33.33%)<"));
    EXPECT_FALSE(report.contains('[')) << report.constData();
    EXPECT_FALSE(report.contains("http"));  // no outside resources
    EXPECT_TRUE(report.endsWith("</html>\r\n"));
}

}  // namespace
