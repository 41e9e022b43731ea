#include "report/UnitReport.h"

#include "dialogs/ErrorBox.h"
#include "dialogs/FileDialogs.h"
#include "dialogs/Prompts.h"
#include "dialogs/Shell.h"
#include "dialogs/WebsiteCheckList.h"
#include "model/Clock.h"
#include "model/DataFolder.h"
#include "model/FileReplacer.h"
#include "model/TextFile.h"
#include "report/ReportBuilder.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

std::vector<QByteArray> ReadTemplate(const char* name)
{
    return TemplateLines(ReadTextFile(ShippedFile(QLatin1String(name))));
}

// Puts the button back as it was before a generation, however the generation ends.
class GeneratingCaption {
public:
    explicit GeneratingCaption(QPushButton* button) : m_button(button)
    {
        m_button->setEnabled(false);
        m_button->setText(QStringLiteral("Generating..."));
    }
    ~GeneratingCaption()
    {
        m_button->setText(QStringLiteral("Generate report"));
        m_button->setEnabled(true);
    }
    GeneratingCaption(const GeneratingCaption&) = delete;
    GeneratingCaption& operator=(const GeneratingCaption&) = delete;

private:
    QPushButton* m_button;
};

}  // namespace

TfrmReport::TfrmReport(QWidget* parent, const WebsiteTree& websites, const LinkList& links, LocaleFormats formats)
    : QDialog(parent), m_links(links), m_formats(std::move(formats))
{
    setWindowTitle(QStringLiteral("Report"));
    setModal(true);

    auto* text = new QLabel(QStringLiteral("Please select the websites you want to generate a report below, then "
                                           "click 'Generate report' button."),
                            this);
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    m_vstSites = new WebsiteCheckList(WebsiteCheckList::Mode::Check, QStringLiteral("My websites"), this);
    m_btnGenerate = new QPushButton(QStringLiteral("Generate report"), this);
    m_btnGenerate->setDefault(true);
    m_btnClose = new QPushButton(QStringLiteral("&Close"), this);
    // "Generating..." must not make the button jump.
    m_btnGenerate->setMinimumWidth(m_btnGenerate->sizeHint().width() + 8);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnGenerate);
    buttons->addWidget(m_btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_vstSites, 1);
    layout->addLayout(buttons);

    connect(m_btnGenerate, &QPushButton::clicked, this, [this] { RunGuarded(this, [this] { BtnGenerateClick(); }); });
    connect(m_btnClose, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate(websites);
    setFixedSize(400, 400);
}

void TfrmReport::FormCreate(const WebsiteTree& websites)
{
    m_vstSites->setWebsites(websites);
}

QByteArray TfrmReport::BuildSiteBody(std::int32_t siteId, QByteArrayView body) const
{
    return ::BuildSiteBody(siteId, body, m_links, m_formats.decimalSeparator);
}

void TfrmReport::BtnGenerateClick()
{
    bool anyTicked = false;
    for (int row = 0; row < m_vstSites->count() && !anyTicked; ++row)
        anyTicked = m_vstSites->isMarked(row);
    if (!anyTicked) {
        // A report of no website would be an empty page.
        ShowInformation(this, QStringLiteral("Please select a website"));
        return;
    }
    const GeneratingCaption caption(m_btnGenerate);

    std::vector<QByteArray> title = ReadTemplate("Title.fmt");
    const std::vector<QByteArray> bodyLines = ReadTemplate("Body.fmt");
    const std::vector<QByteArray> bottom = ReadTemplate("Bottom.fmt");

    const QByteArray reportTime = DateTimeToText(Now(), m_formats);
    for (QByteArray& line : title)
        line.replace("[Report Time]", reportTime);

    QByteArray bodyTemplate;
    for (const QByteArray& line : bodyLines)
        bodyTemplate.append(line);

    QByteArray body;
    for (int row = 0; row < m_vstSites->count(); ++row) {
        if (!m_vstSites->isMarked(row))
            continue;
        const rMySiteInfo& site = m_vstSites->site(row);
        body.append(BuildSiteBody(site.Id, bodyTemplate));
        body.replace("[Website]", site.Name);
    }
    const QByteArray report = AssembleReport(title, body, bottom);

    const QString path =
        fileDialogs().saveFileName(this,
                                   {QStringLiteral("Save report as html file"), QStringLiteral("Html file (*.htm)"),
                                    QStringLiteral("htm"), QString()});
    if (path.isEmpty())
        return;
    ReplaceFileContents(path, report, FilePrivacy::Shared);
    if (AskConfirm(this, QStringLiteral("Do you want to view the report now?")))
        shell().openFile(path);
}
