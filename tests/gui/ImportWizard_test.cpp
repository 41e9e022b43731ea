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

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <QHeaderView>
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

    prompts.shown.clear();
    wizard.EditSelectFile()->setText(appDir.file(QStringLiteral("one.txt")));
    appDir.write(QStringLiteral("one.txt"), "a.example\n");
    wizard.BtnNext()->click();
    EXPECT_EQ(wizard.currentPage(), TfrmImport::ThirdStep);
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

// A blank line would become the page "http://", and blanks around an address would reach the
// server inside the request line.
TEST_F(ImportWizardTest, BlankLinesAreSkippedAndEveryLineIsTrimmed)
{
    browse(QStringLiteral("lines.txt"),
           "a.example\r\n\r\n b.example \r\t\nc.example\nHTTP://c.example\x01\n  \nhttps://d.example");
    EXPECT_EQ(previewUrls(),
              (std::vector<QByteArray>{"http://a.example", "http://b.example", "http://c.example", "HTTP://c.example",
                                       "https://d.example"}));
    EXPECT_EQ(fileDialogs.opened.size(), 1);
    EXPECT_EQ(fileDialogs.opened[0].filter,
              QStringLiteral("Text and CSV Files (*.txt *.csv);;Text File (*.txt);;CSV File (*.csv)"));
    EXPECT_EQ(fileDialogs.opened[0].defaultExtension, QStringLiteral("txt"));
    EXPECT_EQ(wizard.VSTItems()->model()->rowCount(), 5);
    EXPECT_EQ(wizard.VSTItems()->model()->index(1, 0).data().toString(), QStringLiteral("http://b.example"));

    browse(QStringLiteral("blank.txt"), "\r\n \n\t\r\n");
    EXPECT_EQ(previewUrls().size(), 5u);
}

TEST_F(ImportWizardTest, DuplicatesAreMarkedAndSkippedUnlessTheUserKeepsThem)
{
    const auto existing = std::make_shared<rMonitorInfo>();
    existing->SiteId = 7;
    existing->PageUrl = "http://OLD.example/links";
    links.append(existing);
    const auto elsewhere = std::make_shared<rMonitorInfo>();
    elsewhere->SiteId = 3;
    elsewhere->PageUrl = "http://a.example";
    links.append(elsewhere);

    browse(QStringLiteral("pages.txt"), "old.example/links\na.example\nA.EXAMPLE\na.example/other\n");
    const ImportPreviewModel& preview = wizard.preview();
    const auto marks = [&preview] {
        std::vector<Duplicate> all;
        for (int row = 0; row < preview.rowCount(); ++row)
            all.push_back(preview.duplicate(row));
        return all;
    };
    // Before a website is chosen only the file's own repeats are known.
    EXPECT_EQ(marks(), (std::vector<Duplicate>{Duplicate::None, Duplicate::None, Duplicate::InFile, Duplicate::None}));
    EXPECT_TRUE(preview.index(2, 0).data(Qt::ForegroundRole).isValid());
    EXPECT_FALSE(preview.index(1, 0).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(wizard.DuplicateNote()->text(), QStringLiteral("1 duplicate address, shown in grey, will be skipped."));
    EXPECT_FALSE(wizard.KeepDuplicates()->isChecked());

    // Bikes has the first page already; Garden's page of the same address is another website's.
    goToPage(TfrmImport::ThirdStep);
    wizard.VSTSites()->setMarked(1, true);
    EXPECT_EQ(marks(),
              (std::vector<Duplicate>{Duplicate::Existing, Duplicate::None, Duplicate::InFile, Duplicate::None}));
    wizard.BtnNext()->click();
    EXPECT_EQ(wizard.ImportCountValue()->text(), QStringLiteral("2 (2 duplicates skipped)"));

    wizard.BtnBack()->click();
    wizard.KeepDuplicates()->setChecked(true);
    wizard.BtnNext()->click();
    EXPECT_EQ(wizard.ImportCountValue()->text(), QStringLiteral("4 (2 duplicates included)"));
    wizard.BtnBack()->click();
    wizard.KeepDuplicates()->setChecked(false);
    wizard.BtnNext()->click();

    wizard.BtnNext()->click();
    EXPECT_EQ(prompts.shown.last().text, QStringLiteral("Finished!\n\r\n\r2 inbound links imported."));
    ASSERT_EQ(links.rowCount(), 4);
    EXPECT_EQ(links.record(2).PageUrl, "http://a.example");
    EXPECT_EQ(links.record(3).PageUrl, "http://a.example/other");
}

// A path typed into the file field, not browsed to, is read when the page is left.
TEST_F(ImportWizardTest, ATypedPathIsReadOnNextOrRefusedWithTheReason)
{
    goToPage(TfrmImport::SecondStep);
    const QString path = appDir.file(QStringLiteral("typed.txt"));
    wizard.EditSelectFile()->setText(path);
    wizard.BtnNext()->click();
    EXPECT_EQ(wizard.currentPage(), TfrmImport::SecondStep);
    EXPECT_EQ(wizard.focusWidget(), wizard.EditSelectFile());
    EXPECT_EQ(
        prompts.shown,
        (QList<Shown>{{Kind::Error, QStringLiteral("Cannot open file \"%1\". No such file or directory.").arg(path)}}));

    appDir.write(QStringLiteral("typed.txt"), "a.example\nb.example\n");
    wizard.BtnNext()->click();
    EXPECT_EQ(wizard.currentPage(), TfrmImport::ThirdStep);
    EXPECT_EQ(previewUrls(), (std::vector<QByteArray>{"http://a.example", "http://b.example"}));

    // Coming back and going on again reads nothing twice.
    wizard.BtnBack()->click();
    wizard.BtnNext()->click();
    EXPECT_EQ(previewUrls().size(), 2u);
    wizard.VSTSites()->setMarked(0, true);
    goToPage(TfrmImport::FourthStep);
    EXPECT_EQ(wizard.ImportFromValue()->text(), path);
    wizard.BtnNext()->click();
    EXPECT_EQ(prompts.shown.last().text, QStringLiteral("Finished!\n\r\n\r2 inbound links imported."));
    EXPECT_EQ(links.rowCount(), 2);
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

// A spreadsheet's export: a BOM, columns in another order with other spellings, quoted fields that
// hold commas, quotes and line breaks, and a row without an address.
TEST_F(ImportWizardTest, ACsvFileFillsInTheContactsOfTheImportedLinks)
{
    browse(QStringLiteral("partners.CSV"),
           "\xEF\xBB\xBF"
           "E-Mail,Surname,Page URL,first_name\r\n"
           "ann@a.example,\"Lee, Jr.\",a.example/links,Ann\r\n"
           ",,,Nobody\r\n"
           "bo@b.example,\"O\"\"Neil\",\" https://b.example/\",\"Bo\nBo\"\r\n"
           "x@c.example,Bar|||Baz,http://c.example,\r\n");
    EXPECT_EQ(previewUrls(),
              (std::vector<QByteArray>{"http://a.example/links", "https://b.example/", "http://c.example"}));
    ASSERT_EQ(wizard.VSTItems()->model()->columnCount(), 4);
    EXPECT_EQ(wizard.VSTItems()->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("E-mail"));
    EXPECT_EQ(wizard.VSTItems()->model()->index(1, 2).data().toString(), QStringLiteral("O\"Neil"));
    // The address keeps the room the contacts leave, and the columns fill the view.
    goToPage(TfrmImport::SecondStep);
    wizard.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&wizard));
    const QHeaderView* header = wizard.VSTItems()->header();
    for (int column = 1; column < 4; ++column)
        EXPECT_GT(header->sectionSize(0), header->sectionSize(column)) << column;
    EXPECT_EQ(header->length(), wizard.VSTItems()->viewport()->width());

    goToPage(TfrmImport::ThirdStep);
    wizard.VSTSites()->setMarked(0, true);
    goToPage(TfrmImport::FourthStep);
    wizard.BtnNext()->click();
    ASSERT_EQ(links.rowCount(), 3);
    const rMonitorInfo& a = links.record(0);
    EXPECT_EQ(a.FirstName, "Ann");
    EXPECT_EQ(a.LastName, "Lee, Jr.");
    EXPECT_EQ(a.Email, "ann@a.example");
    // Items.txt cannot hold a line break or "|||" inside a field: they would shift every later field.
    EXPECT_EQ(links.record(1).FirstName, "Bo Bo");
    EXPECT_EQ(links.record(2).LastName, "Bar| |Baz");
    EXPECT_TRUE(links.record(2).FirstName.isEmpty());
}

// A .csv file without an address column is a list of addresses; a .txt file is never read as CSV.
TEST_F(ImportWizardTest, FilesWithoutAnAddressHeaderAreReadOneAddressALine)
{
    browse(QStringLiteral("plain.csv"), "a.example\n\nb.example, c\n");
    browse(QStringLiteral("header.txt"), "url\nd.example\n");
    EXPECT_EQ(previewUrls(),
              (std::vector<QByteArray>{"http://a.example", "http://b.example, c", "http://url", "http://d.example"}));
    EXPECT_EQ(wizard.VSTItems()->model()->columnCount(), 1);
}

// A broken file is refused whole, with the line at fault, rather than imported in part.
TEST_F(ImportWizardTest, AHostileCsvFileIsRefusedWithTheLineAtFault)
{
    browse(QStringLiteral("good.txt"), "a.example\n");
    browse(QStringLiteral("open.csv"), "url,email\nb.example,\"b@b.example\nc.example,c@c.example\n");
    browse(QStringLiteral("huge.csv"), "url\n" + QByteArray(200 * 1024, 'x') + "\n");
    ASSERT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(prompts.shown[0].kind, Kind::Error);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(
        QStringLiteral("Cannot import \"%1\". Line 2: ").arg(appDir.file(QStringLiteral("open.csv")))))
        << prompts.shown[0].text.toStdString();
    EXPECT_TRUE(prompts.shown[1].text.contains(QStringLiteral("Line 2: "))) << prompts.shown[1].text.toStdString();
    EXPECT_EQ(previewUrls(), (std::vector<QByteArray>{"http://a.example"}));

    // Typed instead of browsed to: the wizard stays on the page with the field focused.
    prompts.shown.clear();
    wizard.EditSelectFile()->setText(appDir.file(QStringLiteral("open.csv")));
    goToPage(TfrmImport::SecondStep);
    wizard.BtnNext()->click();
    EXPECT_EQ(wizard.currentPage(), TfrmImport::SecondStep);
    EXPECT_EQ(prompts.shown.size(), 1);
}

}  // namespace
