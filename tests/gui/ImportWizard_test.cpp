#include "dialogs/WebsiteCheckList.h"
#include "import/ImportPreviewModel.h"
#include "import/UnitImport.h"
#include "model/AppError.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"
#include "support/FakeFileDialogs.h"
#include "support/FakePrompts.h"
#include "support/FakeShell.h"
#include "support/QtPrinters.h"
#include "support/StepClock.h"
#include "support/TempAppDir.h"
#include "support/TempInstall.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using Shown = FakePrompts::Shown;
using Kind = Prompts::Kind;

WebsiteTree TwoWebsites()
{
    WebsiteTree websites;
    websites.AddRootWebsite();
    websites.append({"Garden", "garden.example", 3});
    websites.append({"Bikes", "bikes.example", 7});
    return websites;
}

class ImportWizardTest : public ::testing::Test {
protected:
    std::vector<QByteArray> previewUrls() const { return wizard.preview().pageUrls(); }

    // Browses to a file of the test's AppDir holding these bytes.
    void browse(const QString& name, const QByteArray& contents)
    {
        appDir.write(name, contents);
        fileDialogs.queueFileName(appDir.file(name));
        wizard.Button3()->click();
    }

    void goToPage(int page)
    {
        for (int step = wizard.currentPage(); step < page; ++step)
            wizard.BtnNext()->click();
        ASSERT_EQ(wizard.currentPage(), page);
    }

    TempAppDir appDir;
    InstalledFakePrompts prompts;
    InstalledFakeFileDialogs fileDialogs;
    InstalledFakeShell shell;
    WebsiteTree websites = TwoWebsites();
    LinkList links;
    TfrmImport wizard{nullptr, websites, links};
};

TEST(NormalizeUrl, PrefixesHttpUnlessTheLineNamesHttpOrHttpsAnywhere)
{
    EXPECT_EQ(NormalizeUrl("www.a.example/links.html"), "http://www.a.example/links.html");
    EXPECT_EQ(NormalizeUrl("http://a.example"), "http://a.example");
    EXPECT_EQ(NormalizeUrl("hTtP://a.example"), "hTtP://a.example");
    EXPECT_EQ(NormalizeUrl("https://a.example/p"), "https://a.example/p");
    EXPECT_EQ(NormalizeUrl("HttpS://a.example/p"), "HttpS://a.example/p");
    EXPECT_EQ(NormalizeUrl("a.example/go?to=https://b.example"), "a.example/go?to=https://b.example");
    EXPECT_EQ(NormalizeUrl("ftp://a.example"), "http://ftp://a.example");
    EXPECT_EQ(NormalizeUrl("https:/a.example"), "http://https:/a.example");
    EXPECT_EQ(NormalizeUrl("httpx.example"), "http://httpx.example");
    EXPECT_EQ(NormalizeUrl(""), "http://");
    EXPECT_EQ(NormalizeUrl(" a b "), "http:// a b ");
    // Only a to z fold: a dotless i does not make "HTTP".
    EXPECT_EQ(NormalizeUrl("ht\xfdp://a.example"), "http://ht\xfdp://a.example");
}

TEST_F(ImportWizardTest, StartsOnTheWelcomePageWithTheWebsitesInTreeOrder)
{
    EXPECT_EQ(wizard.windowTitle(), QStringLiteral("Import inbound links wizard"));
    EXPECT_EQ(wizard.currentPage(), TfrmImport::FirstStep);
    EXPECT_FALSE(wizard.BtnBack()->isEnabled());
    EXPECT_EQ(wizard.BtnNext()->text(), QStringLiteral("Next >"));
    ASSERT_EQ(wizard.VSTSites()->count(), 2);
    EXPECT_EQ(wizard.VSTSites()->site(0).Name, "Garden");
    EXPECT_EQ(wizard.VSTSites()->site(1).Id, 7);
    EXPECT_EQ(wizard.VSTSites()->chosenRow(), -1);
    EXPECT_TRUE(wizard.SelectedSiteName().isEmpty());
}

TEST_F(ImportWizardTest, NextAsksForAFileThenAWebsiteAndStaysOnItsPage)
{
    goToPage(TfrmImport::SecondStep);
    EXPECT_TRUE(wizard.BtnBack()->isEnabled());

    wizard.EditSelectFile()->setText(QStringLiteral(" \t "));
    wizard.BtnNext()->click();
    EXPECT_EQ(wizard.currentPage(), TfrmImport::SecondStep);
    EXPECT_EQ(wizard.focusWidget(), wizard.Button3());
    EXPECT_EQ(prompts.shown, (QList<Shown>{{Kind::Information, QStringLiteral("Please select a file")}}));

    // A name typed by hand passes without being read.
    wizard.EditSelectFile()->setText(QStringLiteral("typed.txt"));
    wizard.BtnNext()->click();
    EXPECT_EQ(wizard.currentPage(), TfrmImport::ThirdStep);
    EXPECT_TRUE(previewUrls().empty());

    prompts.shown.clear();
    wizard.BtnNext()->click();
    EXPECT_EQ(wizard.currentPage(), TfrmImport::ThirdStep);
    EXPECT_EQ(prompts.shown, (QList<Shown>{{Kind::Information, QStringLiteral("Please select a website")}}));
    EXPECT_EQ(wizard.BtnNext()->text(), QStringLiteral("Next >"));
}

TEST_F(ImportWizardTest, BackKeepsEverythingAndTheSummaryFollowsANewChoice)
{
    browse(QStringLiteral("one.txt"), "a.example\n");
    goToPage(TfrmImport::ThirdStep);
    wizard.VSTSites()->setMarked(0, true);
    wizard.BtnNext()->click();
    EXPECT_EQ(wizard.currentPage(), TfrmImport::FourthStep);
    EXPECT_EQ(wizard.BtnNext()->text(), QStringLiteral("Finish"));
    EXPECT_EQ(wizard.ImportToValue()->text(), QStringLiteral("Garden"));
    EXPECT_FALSE(wizard.ProgressBar1()->isVisibleTo(&wizard));

    wizard.BtnBack()->click();
    EXPECT_EQ(wizard.currentPage(), TfrmImport::ThirdStep);
    EXPECT_EQ(wizard.BtnNext()->text(), QStringLiteral("Next >"));
    EXPECT_EQ(wizard.SelectedSiteName(), "Garden");
    wizard.VSTSites()->setMarked(1, true);
    EXPECT_FALSE(wizard.VSTSites()->isMarked(0));
    wizard.BtnNext()->click();
    EXPECT_EQ(wizard.ImportToValue()->text(), QStringLiteral("Bikes"));
    EXPECT_EQ(wizard.SelectedSiteId(), 7);

    for (int i = 0; i < 3; ++i)
        wizard.BtnBack()->click();
    EXPECT_EQ(wizard.currentPage(), TfrmImport::FirstStep);
    EXPECT_FALSE(wizard.BtnBack()->isEnabled());
    EXPECT_EQ(wizard.EditSelectFile()->text(), appDir.file(QStringLiteral("one.txt")));
    EXPECT_EQ(previewUrls(), (std::vector<QByteArray>{"http://a.example"}));
    EXPECT_EQ(wizard.SelectedSiteId(), 7);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(ImportWizardTest, PreviewKeepsEveryLineAsItIsApartFromThePrefix)
{
    browse(QStringLiteral("lines.txt"), "a.example\r\n\r\n b.example \rc.example\nc.example\nhttps://d.example\n");
    EXPECT_EQ(previewUrls(),
              (std::vector<QByteArray>{"http://a.example", "http://", "http:// b.example ", "http://c.example",
                                       "http://c.example", "https://d.example"}));
    EXPECT_EQ(fileDialogs.opened.size(), 1);
    EXPECT_EQ(fileDialogs.opened[0].filter, QStringLiteral("Text File (*.txt)"));
    EXPECT_EQ(fileDialogs.opened[0].defaultExtension, QStringLiteral("txt"));
    EXPECT_EQ(wizard.VSTItems()->model()->rowCount(), 6);
    EXPECT_EQ(wizard.VSTItems()->model()->index(1, 0).data().toString(), QStringLiteral("http://"));
}

TEST_F(ImportWizardTest, AnEmptyLastLineIsARowButAFinalLineBreakIsNot)
{
    browse(QStringLiteral("ends.txt"), "a.example\n");
    browse(QStringLiteral("empty-last.txt"), "b.example\r\n\r\n");
    browse(QStringLiteral("no-break.txt"), "c.example");
    browse(QStringLiteral("nothing.txt"), "");
    EXPECT_EQ(previewUrls(),
              (std::vector<QByteArray>{"http://a.example", "http://b.example", "http://", "http://c.example"}));
}

TEST_F(ImportWizardTest, ASecondFileIsAppendedAndTheSummaryNamesOnlyIt)
{
    browse(QStringLiteral("first.txt"), "a.example\nb.example\n");
    browse(QStringLiteral("second.txt"), "c.example\n");
    EXPECT_EQ(previewUrls(), (std::vector<QByteArray>{"http://a.example", "http://b.example", "http://c.example"}));
    goToPage(TfrmImport::ThirdStep);
    wizard.VSTSites()->setMarked(1, true);
    wizard.BtnNext()->click();
    EXPECT_EQ(wizard.ImportFromValue()->text(), appDir.file(QStringLiteral("second.txt")));

    wizard.BtnNext()->click();
    ASSERT_EQ(links.rowCount(), 3);
    EXPECT_EQ(links.record(2).PageUrl, "http://c.example");
    EXPECT_EQ(prompts.shown.last().text, QStringLiteral("Finished!\n\r\n\r3 inbound links imported."));
}

TEST_F(ImportWizardTest, CancellingTheOpenDialogChangesNothing)
{
    browse(QStringLiteral("first.txt"), "a.example\n");
    wizard.Button3()->click();
    EXPECT_EQ(fileDialogs.opened.size(), 2);
    EXPECT_EQ(wizard.EditSelectFile()->text(), appDir.file(QStringLiteral("first.txt")));
    EXPECT_EQ(previewUrls().size(), 1u);
}

TEST_F(ImportWizardTest, AnUnreadableFileIsReportedAndLeavesThePreviewAlone)
{
    browse(QStringLiteral("first.txt"), "a.example\n");
    const QString missing = appDir.file(QStringLiteral("missing.txt"));
    fileDialogs.queueFileName(missing);
    wizard.Button3()->click();
    EXPECT_EQ(prompts.shown,
              (QList<Shown>{{Kind::Error,
                             QStringLiteral("Cannot open file \"%1\". "
                                            "No such file or directory.")
                                 .arg(missing)}}));
    EXPECT_EQ(wizard.EditSelectFile()->text(), missing);
    EXPECT_EQ(previewUrls().size(), 1u);

    EXPECT_THROW(
        {
            fileDialogs.queueFileName(appDir.path());
            wizard.Button3Click();
        },
        AppError);
}

TEST_F(ImportWizardTest, ViewSampleFileOpensTheSampleBesideTheProgram)
{
    wizard.Button1()->click();
    EXPECT_EQ(shell.calls, (QList<QString>{QStringLiteral("file ") + appDir.file(QStringLiteral("SampleSrc.txt"))}));

    // An installed copy keeps it with the other shipped files.
    const TempInstall installed;
    installed.write(QStringLiteral("share/quorvane/SampleSrc.txt"), "http://partner.example/\n");
    shell.calls.clear();
    wizard.Button1()->click();
    EXPECT_EQ(shell.calls,
              (QList<QString>{QStringLiteral("file ") + installed.shared() + QStringLiteral("SampleSrc.txt")}));
}

TEST_F(ImportWizardTest, TenLinesImportAsTenNewRowsEachStampedWhenAdded)
{
    const auto existing = std::make_shared<rMonitorInfo>();
    existing->SiteId = 3;
    existing->PageUrl = "http://old.example";
    links.append(existing);

    QByteArray file;
    for (int i = 0; i < 10; ++i)
        file += "p" + QByteArray::number(i) + ".example\n";
    browse(QStringLiteral("ten.txt"), file);
    goToPage(TfrmImport::ThirdStep);
    wizard.VSTSites()->setMarked(1, true);
    wizard.BtnNext()->click();

    InstalledStepClock clock(45000.5, 0.001);
    wizard.BtnNext()->click();

    EXPECT_EQ(prompts.shown,
              (QList<Shown>{{Kind::Plain, QStringLiteral("Finished!\n\r\n\r10 inbound links imported.")}}));
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
    ASSERT_EQ(links.rowCount(), 11);
    EXPECT_EQ(links.visibleCount(), 11);
    EXPECT_EQ(links.record(0).PageUrl, "http://old.example");
    for (int i = 0; i < 10; ++i) {
        const rMonitorInfo& link = links.record(i + 1);
        EXPECT_EQ(link.SiteId, 7);
        EXPECT_EQ(link.PageUrl, "http://p" + QByteArray::number(i) + ".example");
        EXPECT_DOUBLE_EQ(link.Created, 45000.5 + 0.001 * i);
        EXPECT_EQ(link.LastCheck, 0);
        EXPECT_EQ(link.Status, lsUnchecked);
        EXPECT_TRUE(link.FirstName.isEmpty() && link.LastName.isEmpty() && link.Email.isEmpty());
        EXPECT_TRUE(link.SiteUrl.isEmpty());
    }
}

TEST_F(ImportWizardTest, AnEmptyFileImportsNothingAndSaysSo)
{
    browse(QStringLiteral("empty.txt"), "");
    goToPage(TfrmImport::ThirdStep);
    wizard.VSTSites()->setMarked(0, true);
    goToPage(TfrmImport::FourthStep);
    wizard.BtnNext()->click();
    EXPECT_EQ(links.rowCount(), 0);
    EXPECT_EQ(prompts.shown,
              (QList<Shown>{{Kind::Plain, QStringLiteral("Finished!\n\r\n\r0 inbound links imported.")}}));
}

// Acts on the wizard at the moment "Finished!" shows, while the import still holds the buttons.
class PressAgainPrompts : public FakePrompts {
public:
    explicit PressAgainPrompts(TfrmImport& wizard) : m_wizard(wizard) {}
    void show(QWidget* parent, Kind kind, const QString& text) override
    {
        FakePrompts::show(parent, kind, text);
        buttonsEnabled =
            m_wizard.BtnNext()->isEnabled() || m_wizard.BtnBack()->isEnabled() || m_wizard.BtnCancel()->isEnabled();
        m_wizard.BtnNextClick();
        m_wizard.reject();
    }
    bool buttonsEnabled = true;

private:
    TfrmImport& m_wizard;
};

TEST_F(ImportWizardTest, TheRowsGoInOnceAndCannotBeCancelledWhileImporting)
{
    browse(QStringLiteral("two.txt"), "a.example\nb.example\n");
    goToPage(TfrmImport::ThirdStep);
    wizard.VSTSites()->setMarked(0, true);
    goToPage(TfrmImport::FourthStep);

    PressAgainPrompts pressing(wizard);
    const ScopedPrompts scope(pressing);
    wizard.BtnNext()->click();
    EXPECT_FALSE(pressing.buttonsEnabled);
    EXPECT_EQ(pressing.shown.size(), 1);
    EXPECT_EQ(links.rowCount(), 2);
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
}

TEST_F(ImportWizardTest, CancelImportsNothing)
{
    browse(QStringLiteral("one.txt"), "a.example\n");
    goToPage(TfrmImport::ThirdStep);
    wizard.VSTSites()->setMarked(0, true);
    goToPage(TfrmImport::FourthStep);
    wizard.BtnCancel()->click();
    EXPECT_EQ(wizard.result(), QDialog::Rejected);
    EXPECT_EQ(links.rowCount(), 0);
}

}  // namespace
