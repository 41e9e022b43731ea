#include "import/UnitImport.h"

#include "dialogs/AnsiText.h"
#include "dialogs/ErrorBox.h"
#include "dialogs/FileDialogs.h"
#include "dialogs/GridLineDelegate.h"
#include "dialogs/Prompts.h"
#include "dialogs/Shell.h"
#include "dialogs/WebsiteCheckList.h"
#include "import/ImportPreviewModel.h"
#include "model/AppError.h"
#include "model/Clock.h"
#include "model/DataFiles.h"
#include "model/DataFolder.h"
#include "model/ImportSource.h"
#include "model/LinkList.h"
#include "model/TextFile.h"
#include "model/WebsiteTree.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QSvgRenderer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

static void LoadImportResources()
{
    // The picture sits in a static library, whose resource registration the linker would drop.
    static const bool loaded = [] {
        Q_INIT_RESOURCE(importwizard);
        return true;
    }();
    (void)loaded;
}

namespace {

constexpr QSize PictureSize(200, 292);
// The progress bar moves about thirty times a second however many rows there are: repainting it
// for every row would cost more than the import itself.
constexpr qint64 RepaintIntervalMs = 33;

// Both kinds of import file are listed at first; the single ones narrow the list.
QString ImportFileFilter()
{
    return QStringLiteral("Text and CSV Files (*.txt *.csv);;Text File (*.txt);;CSV File (*.csv)");
}

// The wizard's own information messages; they never leave BtnNextClick.
class WizardMessage {
public:
    explicit WizardMessage(QString text) : m_text(std::move(text)) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

bool BlankText(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 32)
            return false;
    }
    return true;
}

QPixmap WizardPicture(qreal ratio)
{
    LoadImportResources();
    QPixmap pixmap(PictureSize * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/import/wizard.svg"));
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(PictureSize)));
    return pixmap;
}

QLabel* WrappedLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

TfrmImport::TfrmImport(QWidget* parent, const WebsiteTree& websites, LinkList& links) : QDialog(parent), m_links(links)
{
    setWindowTitle(QStringLiteral("Import inbound links wizard"));
    setModal(true);

    m_pages = new QStackedWidget(this);
    m_pages->addWidget(buildFirstStep());
    m_pages->addWidget(buildSecondStep());
    m_pages->addWidget(buildThirdStep());
    m_pages->addWidget(buildFourthStep());

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    m_btnBack = new QPushButton(QStringLiteral("< Back"), this);
    m_btnBack->setEnabled(false);
    m_btnNext = new QPushButton(QStringLiteral("Next >"), this);
    m_btnNext->setDefault(true);
    m_btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    // "Next >" and "Finish" take turns in one place; the wider caption sets the width.
    const int width = std::max(m_btnNext->sizeHint().width(), m_btnBack->sizeHint().width());
    for (QPushButton* button : {m_btnBack, m_btnNext, m_btnCancel})
        button->setMinimumWidth(width);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnBack);
    buttons->addWidget(m_btnNext);
    buttons->addSpacing(12);
    buttons->addWidget(m_btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addWidget(separator);
    layout->addLayout(buttons);

    connect(m_btnNext, &QPushButton::clicked, this, [this] { BtnNextClick(); });
    connect(m_btnBack, &QPushButton::clicked, this, [this] { BtnBackClick(); });
    connect(m_btnCancel, &QPushButton::clicked, this, &TfrmImport::reject);
    connect(m_button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(m_button3, &QPushButton::clicked, this, [this] { RunGuarded(this, [this] { Button3Click(); }); });

    FormCreate(websites);
    setFixedSize(620, 420);
}

TfrmImport::~TfrmImport() = default;

QWidget* TfrmImport::buildFirstStep()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("FirstStep"));
    auto* picture = new QLabel(page);
    picture->setFixedSize(PictureSize);
    picture->setPixmap(WizardPicture(devicePixelRatioF()));

    auto* heading = new QLabel(QStringLiteral("Welcome to the  Import Wizard!"), page);
    heading->setTextFormat(Qt::PlainText);
    QFont font = heading->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.5);
    heading->setFont(font);
    heading->setWordWrap(true);

    auto* text = WrappedLabel(
        QStringLiteral("This wizard will guid you through the steps of import Inbound Links from a plain text file."),
        page);

    auto* column = new QVBoxLayout;
    column->addSpacing(8);
    column->addWidget(heading);
    column->addSpacing(16);
    column->addWidget(text);
    column->addStretch();

    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(picture, 0, Qt::AlignTop);
    layout->addSpacing(16);
    layout->addLayout(column, 1);
    return page;
}

QWidget* TfrmImport::buildSecondStep()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("SecondStep"));
    auto* text = WrappedLabel(
        QStringLiteral("Please select the source file below, and its format must be: one line, one url."), page);
    m_button1 = new QPushButton(QStringLiteral("View sample file"), page);
    m_editSelectFile = new QLineEdit(page);
    m_button3 = new QPushButton(QStringLiteral("Browse..."), page);

    m_preview = new ImportPreviewModel(this);
    m_vstItems = new QTreeView(page);
    m_vstItems->setModel(m_preview);
    m_vstItems->setRootIsDecorated(false);
    m_vstItems->setUniformRowHeights(true);
    m_vstItems->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_vstItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_vstItems->setItemDelegate(new GridLineDelegate(m_vstItems));
    m_vstItems->setAllColumnsShowFocus(true);
    m_vstItems->header()->setSectionsClickable(false);
    connect(m_preview, &QAbstractItemModel::columnsInserted, this,
            [this] { FitPreviewColumns(*m_vstItems->header()); });

    m_duplicateNote = WrappedLabel({}, page);
    m_keepDuplicates = new QCheckBox(QStringLiteral("Import duplicate addresses too"), page);
    connect(m_keepDuplicates, &QCheckBox::toggled, this, [this] { showDuplicateNote(); });

    auto* sample = new QHBoxLayout;
    sample->addWidget(text, 1);
    sample->addWidget(m_button1, 0, Qt::AlignTop);
    auto* file = new QHBoxLayout;
    file->addWidget(m_editSelectFile, 1);
    file->addWidget(m_button3);
    auto* duplicates = new QHBoxLayout;
    duplicates->addWidget(m_duplicateNote, 1);
    duplicates->addWidget(m_keepDuplicates);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(sample);
    layout->addLayout(file);
    layout->addWidget(m_vstItems, 1);
    layout->addLayout(duplicates);
    return page;
}

QWidget* TfrmImport::buildThirdStep()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("ThirdStep"));
    auto* text = WrappedLabel(QStringLiteral("Please select the website you would like to import inbound links"), page);
    m_vstSites = new WebsiteCheckList(WebsiteCheckList::Mode::Radio, QStringLiteral("My websites"), page);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text);
    layout->addWidget(m_vstSites, 1);
    return page;
}

QWidget* TfrmImport::buildFourthStep()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("FourthStep"));
    auto* heading =
        WrappedLabel(QStringLiteral("This wizard has obtained enough information to import inbound links!"), page);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    auto* group = new QGroupBox(QStringLiteral("Import information"), page);
    m_importFrom = WrappedLabel({}, group);
    // Up to three lines of a long path; the tool tip holds all of it.
    m_importFrom->setMaximumHeight(m_importFrom->fontMetrics().lineSpacing() * 3);
    m_importFrom->setMinimumWidth(1);
    m_importTo = WrappedLabel({}, group);
    m_importTo->setFont(bold);
    m_importCount = WrappedLabel({}, group);
    auto* form = new QFormLayout(group);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignTop);
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    form->addRow(WrappedLabel(QStringLiteral("Import from: "), group), m_importFrom);
    form->addRow(WrappedLabel(QStringLiteral("Import to website: "), group), m_importTo);
    form->addRow(WrappedLabel(QStringLiteral("Inbound links: "), group), m_importCount);

    auto* text =
        WrappedLabel(QStringLiteral("Please click 'Finish' button if the information above is correct."), page);
    m_progressBar = new QProgressBar(page);
    m_progressBar->setTextVisible(false);
    m_progressBar->hide();

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(heading);
    layout->addSpacing(8);
    layout->addWidget(group);
    layout->addSpacing(8);
    layout->addWidget(text);
    layout->addStretch();
    layout->addWidget(m_progressBar);
    return page;
}

void TfrmImport::FormCreate(const WebsiteTree& websites)
{
    m_vstSites->setWebsites(websites);
    connect(m_vstSites, &WebsiteCheckList::marksChanged, this, [this] { refreshDuplicates(); });
    showDuplicateNote();
}

int TfrmImport::currentPage() const
{
    return m_pages->currentIndex();
}

QByteArray TfrmImport::SelectedSiteName() const
{
    const int row = m_vstSites->chosenRow();
    return row < 0 ? QByteArray() : m_vstSites->site(row).Name;
}

std::int32_t TfrmImport::SelectedSiteId() const
{
    const int row = m_vstSites->chosenRow();
    return row < 0 ? 0 : m_vstSites->site(row).Id;
}

void TfrmImport::BtnNextClick()
{
    if (m_importing)
        return;
    try {
        switch (m_pages->currentIndex()) {
        case FirstStep: m_pages->setCurrentIndex(SecondStep); break;
        case SecondStep:
            if (BlankText(m_editSelectFile->text())) {
                m_button3->setFocus();
                throw WizardMessage(QStringLiteral("Please select a file"));
            }
            // A name typed instead of browsed to is read now; one that cannot be read keeps the
            // wizard on this page.
            if (m_editSelectFile->text() != m_loadedPath) {
                try {
                    LoadFile(m_editSelectFile->text());
                } catch (const AppError&) {
                    m_editSelectFile->setFocus();
                    ShowFailure(this);
                    return;
                }
            }
            m_pages->setCurrentIndex(ThirdStep);
            break;
        case ThirdStep:
            if (SelectedSiteName().isEmpty())
                throw WizardMessage(QStringLiteral("Please select a website"));
            m_pages->setCurrentIndex(FourthStep);
            m_btnNext->setText(QStringLiteral("Finish"));
            m_importFrom->setText(m_editSelectFile->text());
            m_importFrom->setToolTip(m_editSelectFile->text());
            m_importTo->setText(FromAnsi(SelectedSiteName()));
            m_importCount->setText(importCountText());
            break;
        case FourthStep:
            m_progressBar->show();
            ImportLinks();
            return;
        }
        m_btnBack->setEnabled(true);
    } catch (const WizardMessage& message) {
        ShowInformation(this, message.text());
    }
}

void TfrmImport::BtnBackClick()
{
    if (m_importing)
        return;
    switch (m_pages->currentIndex()) {
    case SecondStep:
        m_pages->setCurrentIndex(FirstStep);
        m_btnBack->setEnabled(false);
        break;
    case ThirdStep: m_pages->setCurrentIndex(SecondStep); break;
    case FourthStep: m_pages->setCurrentIndex(ThirdStep); break;
    default: break;
    }
    m_btnNext->setText(QStringLiteral("Next >"));
}

void TfrmImport::Button3Click()
{
    const QString name = fileDialogs().openFileName(
        this, {QStringLiteral("Open"), ImportFileFilter(), QStringLiteral("txt"), QString()});
    if (name.isEmpty())
        return;
    m_editSelectFile->setText(name);
    LoadFile(name);
}

void TfrmImport::LoadFile(const QString& path)
{
    QString file = path;
    if (file.startsWith(QStringLiteral("~/")))
        file = QDir::homePath() + file.mid(1);
    ImportFile imported = ReadImportFile(file, ReadTextFile(file));
    if (!imported.error.isEmpty())
        throw AppError(
            QStringLiteral("Cannot import \"%1\". %2").arg(QFileInfo(file).absoluteFilePath(), imported.error));
    m_preview->append(std::move(imported.links), imported.withContacts);
    m_loadedPath = path;
    showDuplicateNote();
}

void TfrmImport::refreshDuplicates()
{
    // Pages the chosen website already links from count as duplicates too.
    m_preview->markDuplicates(m_vstSites->chosenRow() >= 0 ? PageKeysOfSite(m_links, SelectedSiteId())
                                                           : QSet<QByteArray>());
    showDuplicateNote();
}

void TfrmImport::showDuplicateNote()
{
    const int count = m_preview->duplicateCount();
    m_keepDuplicates->setEnabled(count > 0);
    if (count == 0) {
        m_duplicateNote->setText(QStringLiteral("No duplicate addresses."));
        return;
    }
    const QString what = count == 1 ? QStringLiteral("1 duplicate address, shown in grey,")
                                    : QStringLiteral("%1 duplicate addresses, shown in grey,").arg(count);
    m_duplicateNote->setText(m_keepDuplicates->isChecked() ? QStringLiteral("%1 will be imported too.").arg(what)
                                                           : QStringLiteral("%1 will be skipped.").arg(what));
}

QString TfrmImport::importCountText() const
{
    const bool keep = m_keepDuplicates->isChecked();
    const int count = static_cast<int>(m_preview->pagesToImport(keep).size());
    const int duplicates = m_preview->duplicateCount();
    if (duplicates == 0)
        return QString::number(count);
    return keep ? QStringLiteral("%1 (%2 duplicates included)").arg(count).arg(duplicates)
                : QStringLiteral("%1 (%2 duplicates skipped)").arg(count).arg(duplicates);
}

void TfrmImport::Button1Click()
{
    shell().openFile(ShippedFile(QStringLiteral("SampleSrc.txt")));
}

void TfrmImport::setImporting(bool importing)
{
    // The window keeps handling messages while rows go in; a second "Finish" would import them twice.
    m_importing = importing;
    for (QPushButton* button : {m_btnBack, m_btnNext, m_btnCancel})
        button->setEnabled(!importing);
}

void TfrmImport::ImportLinks()
{
    const std::int32_t siteId = SelectedSiteId();
    const std::vector<ImportedLink> pages = m_preview->pagesToImport(m_keepDuplicates->isChecked());
    const int count = static_cast<int>(pages.size());
    setImporting(true);
    // A bar of range 0..0 would show the busy animation instead of a full bar.
    m_progressBar->setRange(0, std::max(count, 1));
    m_progressBar->setValue(0);

    std::vector<LinkRecord> rows;
    rows.reserve(pages.size());
    {
        LinkList::Update update(m_links);
        QElapsedTimer sinceRepaint;
        sinceRepaint.start();
        for (int i = 0; i < count; ++i) {
            if (sinceRepaint.hasExpired(RepaintIntervalMs)) {
                m_progressBar->setValue(i);
                QCoreApplication::processEvents();
                sinceRepaint.restart();
            }
            auto link = std::make_shared<rMonitorInfo>();
            link->SiteId = siteId;
            const ImportedLink& page = pages[static_cast<std::size_t>(i)];
            link->PageUrl = page.pageUrl;
            link->FirstName = page.firstName;
            link->LastName = page.lastName;
            link->Email = page.email;
            link->Created = Now();
            rows.push_back(std::move(link));
        }
        m_progressBar->setValue(m_progressBar->maximum());
        m_links.appendMany(std::move(rows));
    }
    ShowMessage(this, QStringLiteral("Finished!\n\r\n\r%1 inbound links imported.").arg(count));
    m_importing = false;
    accept();
}

void TfrmImport::reject()
{
    // Neither "Cancel", Esc nor the close box interrupts an import under way.
    if (!m_importing)
        QDialog::reject();
}
