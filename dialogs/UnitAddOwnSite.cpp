#include "dialogs/UnitAddOwnSite.h"

#include "dialogs/AnsiText.h"
#include "dialogs/Prompts.h"
#include "model/TextUtil.h"
#include "model/WebsiteTree.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

void CheckSiteInput(const WebsiteTree& websites, QByteArrayView name, QByteArrayView url, std::int32_t editId)
{
    const auto taken = [&](const rMySiteInfo& node) { return node.Id != editId && SameName(node.Name, name); };
    bool exists = websites.hasRoot() && taken(websites.root());
    for (const rMySiteInfo& site : websites.children())
        exists = exists || taken(site);
    if (exists)
        throw SiteInputFault(SiteField::Name, QStringLiteral("Name exist, please choose another one!"));
    if (TrimControl(name).isEmpty())
        throw SiteInputFault(SiteField::Name, QStringLiteral("Please fill your website's name!"));
    if (TrimControl(url).isEmpty())
        throw SiteInputFault(SiteField::Url, QStringLiteral("Please fill the Domain name!"));
}

TfrmAddOwnSite::TfrmAddOwnSite(const WebsiteTree& websites, QWidget* parent)
    : QDialog(parent),
      m_websites(websites),
      m_editName(new QLineEdit(this)),
      m_editUrl(new QLineEdit(this)),
      m_bbtnOk(new QPushButton(QStringLiteral("&Save"), this)),
      m_bitBtn1(new QPushButton(QStringLiteral("&Close"), this))
{
    setObjectName(QStringLiteral("frmAddOwnSite"));
    setWindowTitle(QStringLiteral("My own website"));
    setFixedSize(281, 169);

    m_editName->setObjectName(QStringLiteral("EditName"));
    m_editUrl->setObjectName(QStringLiteral("EditUrl"));
    m_bbtnOk->setObjectName(QStringLiteral("BBtnOk"));
    m_bitBtn1->setObjectName(QStringLiteral("BitBtn1"));

    auto* nameLabel = new QLabel(QStringLiteral("Your website's name (e.g. My Website) : "), this);
    nameLabel->setBuddy(m_editName);
    auto* urlLabel = new QLabel(QStringLiteral("Domain name (e.g. mysite.example):"), this);
    urlLabel->setBuddy(m_editUrl);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_bbtnOk);
    buttons->addWidget(m_bitBtn1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(nameLabel);
    layout->addWidget(m_editName);
    layout->addSpacing(4);
    layout->addWidget(urlLabel);
    layout->addWidget(m_editUrl);
    layout->addStretch();
    layout->addWidget(line);
    layout->addLayout(buttons);

    setTabOrder(m_editName, m_editUrl);
    setTabOrder(m_editUrl, m_bitBtn1);
    setTabOrder(m_bitBtn1, m_bbtnOk);
    m_editName->setFocus();

    m_bbtnOk->setDefault(true);
    connect(m_bbtnOk, &QPushButton::clicked, this, &TfrmAddOwnSite::BBtnOkClick);
    connect(m_bitBtn1, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmAddOwnSite::SetSite(const rMySiteInfo& site)
{
    m_editName->setText(FromAnsi(site.Name));
    m_editUrl->setText(FromAnsi(site.Url));
    m_editId = site.Id;
}

rMySiteInfo TfrmAddOwnSite::GetSite() const
{
    return rMySiteInfo{TrimControl(ToAnsi(m_editName->text())), TrimControl(ToAnsi(m_editUrl->text())),
                       m_editMode ? m_editId : m_websites.NextWebsiteId()};
}

void TfrmAddOwnSite::BBtnOkClick()
{
    try {
        CheckSiteInput(m_websites, ToAnsi(m_editName->text()), ToAnsi(m_editUrl->text()), m_editId);
    } catch (const SiteInputFault& fault) {
        (fault.field() == SiteField::Name ? m_editName : m_editUrl)->setFocus();
        ShowWarning(this, fault.text());
        return;
    }
    accept();
}

std::optional<rMySiteInfo> AskNewWebsite(QWidget* parent, const WebsiteTree& websites)
{
    TfrmAddOwnSite dialog(websites, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.GetSite();
}

std::optional<rMySiteInfo> AskChangedWebsite(QWidget* parent, const WebsiteTree& websites, const rMySiteInfo& site)
{
    TfrmAddOwnSite dialog(websites, parent);
    dialog.SetSite(site);
    dialog.setEditMode(true);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.GetSite();
}
