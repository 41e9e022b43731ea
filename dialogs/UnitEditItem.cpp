#include "dialogs/UnitEditItem.h"

#include "dialogs/AnsiText.h"
#include "dialogs/Prompts.h"
#include "model/Clock.h"
#include "model/LinkList.h"
#include "model/TextUtil.h"
#include "model/WebsiteTree.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A closed combo box picks the entry whose name starts with the letters typed into it. Tabbing on
// from the address and typing a contact's name there would file the link under another website
// without a sign. Here only a deliberate choice changes the website: the drop-down, the arrow and
// page keys, Home and End.
class NoTypeAheadFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers commands = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
        const QString text = key->text();
        // Space would open the list, where the next letters pick an entry all the same.
        return !text.isEmpty() && text.front().isPrint() && !(key->modifiers() & commands);
    }
};

}  // namespace

void CheckLinkInput(const LinkInput& input)
{
    if (TrimControl(input.website).isEmpty())
        throw LinkInputFault(LinkField::Website, QStringLiteral("Please select your website!"));
    if (TrimControl(input.address).isEmpty())
        throw LinkInputFault(LinkField::Address, QStringLiteral("Please fill monitor url!"));
}

rMonitorInfo LinkFromInput(const LinkInput& input, const WebsiteTree& websites, double keptCreated)
{
    rMonitorInfo link;
    link.SiteId = websites.WebsiteIdByName(input.website);
    link.PageUrl = TrimControl(input.address);
    link.FirstName = TrimControl(input.firstName);
    link.LastName = TrimControl(input.lastName);
    link.Email = TrimControl(input.email);
    link.Created = keptCreated != 0 ? keptCreated : Now();
    return link;
}

int WebsiteIndexByName(const QList<QByteArray>& entries, QByteArrayView name)
{
    int index = 0;
    for (int i = 0; i < entries.size(); ++i) {
        if (SameName(entries[i], name))
            index = i;
    }
    return index;
}

void StoreEditedLink(LinkList& links, const rMonitorInfo& record, const rMonitorInfo& entered)
{
    const bool sameTarget = entered.PageUrl == record.PageUrl && entered.SiteId == record.SiteId;
    rMonitorInfo values = entered;
    values.LastCheck = sameTarget ? record.LastCheck : 0;
    // A running check still owns the row's status: it reports over it when it ends.
    const bool uncheck = !sameTarget && record.Status != lsChecking;

    LinkList::Update update(links);
    if (!links.updateFields(record, values))
        return;
    // The details and the change told of the page or website the link had before.
    if (uncheck)
        links.setVerdict(record, lsUnchecked, values.LastCheck, CheckDetails(), 0);
}

TfrmEditItem::TfrmEditItem(const WebsiteTree& websites, QWidget* parent)
    : QDialog(parent),
      m_websites(websites),
      m_cbMySite(new QComboBox(this)),
      m_editAddress(new QLineEdit(this)),
      m_editFirstName(new QLineEdit(this)),
      m_editLastName(new QLineEdit(this)),
      m_editEmail(new QLineEdit(this)),
      m_bbtnOkNew(new QPushButton(QStringLiteral("S&ave && New"), this)),
      m_bbtnOk(new QPushButton(QStringLiteral("&Save && Close"), this)),
      m_bitBtn1(new QPushButton(QStringLiteral("&Close"), this))
{
    setObjectName(QStringLiteral("frmEditItem"));
    setWindowTitle(QStringLiteral("Inbound link info"));
    setFixedSize(385, 274);

    m_cbMySite->setObjectName(QStringLiteral("CBMySite"));
    m_editAddress->setObjectName(QStringLiteral("EditAddress"));
    m_editFirstName->setObjectName(QStringLiteral("EditFirstName"));
    m_editLastName->setObjectName(QStringLiteral("EditLastName"));
    m_editEmail->setObjectName(QStringLiteral("EditEmail"));
    m_bbtnOkNew->setObjectName(QStringLiteral("BBtnOKNew"));
    m_bbtnOk->setObjectName(QStringLiteral("BBtnOk"));
    m_bitBtn1->setObjectName(QStringLiteral("BitBtn1"));

    auto* general = new QGroupBox(QStringLiteral("General Settings"), this);
    auto* generalGrid = new QGridLayout(general);
    auto* siteLabel = new QLabel(QStringLiteral("My website: "), general);
    siteLabel->setBuddy(m_cbMySite);
    m_cbMySite->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_cbMySite->setMinimumContentsLength(12);
    m_cbMySite->installEventFilter(new NoTypeAheadFilter(m_cbMySite));
    generalGrid->addWidget(siteLabel, 0, 0);
    generalGrid->addWidget(m_cbMySite, 0, 1);
    generalGrid->setColumnStretch(1, 1);
    auto* addressLabel =
        new QLabel(QStringLiteral("Monitor Url: (e.g. http://www.partner.example/links.html)"), general);
    addressLabel->setBuddy(m_editAddress);
    generalGrid->addWidget(addressLabel, 1, 0, 1, 2);
    generalGrid->addWidget(m_editAddress, 2, 0, 1, 2);

    auto* contact = new QGroupBox(QStringLiteral("Contact Info (Optional)"), this);
    auto* contactGrid = new QGridLayout(contact);
    auto* firstLabel = new QLabel(QStringLiteral("First Name:"), contact);
    auto* lastLabel = new QLabel(QStringLiteral("Last Name:"), contact);
    auto* emailLabel = new QLabel(QStringLiteral("E - Mail:"), contact);
    firstLabel->setBuddy(m_editFirstName);
    lastLabel->setBuddy(m_editLastName);
    emailLabel->setBuddy(m_editEmail);
    contactGrid->addWidget(firstLabel, 0, 0);
    contactGrid->addWidget(m_editFirstName, 0, 1);
    contactGrid->addWidget(lastLabel, 0, 2);
    contactGrid->addWidget(m_editLastName, 0, 3);
    contactGrid->addWidget(emailLabel, 1, 0);
    contactGrid->addWidget(m_editEmail, 1, 1, 1, 3);
    contactGrid->setColumnStretch(1, 1);
    contactGrid->setColumnStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_bbtnOkNew);
    buttons->addWidget(m_bbtnOk);
    buttons->addWidget(m_bitBtn1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(general);
    layout->addWidget(contact);
    layout->addStretch();
    layout->addLayout(buttons);

    setTabOrder(m_editAddress, m_cbMySite);
    setTabOrder(m_cbMySite, m_editFirstName);
    setTabOrder(m_editFirstName, m_editLastName);
    setTabOrder(m_editLastName, m_editEmail);
    setTabOrder(m_editEmail, m_bbtnOkNew);
    setTabOrder(m_bbtnOkNew, m_bbtnOk);
    setTabOrder(m_bbtnOk, m_bitBtn1);
    m_editAddress->setFocus();

    m_bbtnOkNew->setDefault(true);
    connect(m_bbtnOkNew, &QPushButton::clicked, this, &TfrmEditItem::BBtnOKNewClick);
    connect(m_bbtnOk, &QPushButton::clicked, this, &TfrmEditItem::BBtnOkClick);
    connect(m_bitBtn1, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
}

void TfrmEditItem::FormCreate()
{
    for (const rMySiteInfo& site : m_websites.children())
        m_cbMySite->addItem(FromAnsi(site.Name));
    m_cbMySite->setCurrentIndex(-1);
}

int TfrmEditItem::WebsiteIndexByName(QByteArrayView name) const
{
    QList<QByteArray> entries;
    entries.reserve(m_cbMySite->count());
    for (int i = 0; i < m_cbMySite->count(); ++i)
        entries.append(websiteNameAt(i));
    return ::WebsiteIndexByName(entries, name);
}

void TfrmEditItem::ChooseWebsite(std::int32_t id)
{
    m_cbMySite->setCurrentIndex(WebsiteIndexByName(m_websites.WebsiteNameById(id)));
}

void TfrmEditItem::SetEditMode()
{
    m_bbtnOkNew->hide();
    m_bbtnOkNew->setDefault(false);
    m_bbtnOk->setDefault(true);
}

void TfrmEditItem::SetItem(const rMonitorInfo& record)
{
    ChooseWebsite(record.SiteId);
    m_editAddress->setText(FromAnsi(record.PageUrl));
    m_editFirstName->setText(FromAnsi(record.FirstName));
    m_editLastName->setText(FromAnsi(record.LastName));
    m_editEmail->setText(FromAnsi(record.Email));
    m_keptCreated = record.Created;
    m_shown = record;
}

QByteArray TfrmEditItem::websiteNameAt(int index) const
{
    // The entries are the websites in pane order; their stored bytes are the names, whatever the
    // screen made of them.
    const auto& sites = m_websites.children();
    if (index >= 0 && static_cast<std::size_t>(index) < sites.size() && m_cbMySite->count() == int(sites.size()))
        return sites[static_cast<std::size_t>(index)].Name;
    return index >= 0 ? ToAnsi(m_cbMySite->itemText(index)) : QByteArray();
}

LinkInput TfrmEditItem::input() const
{
    // Fields left as they were keep their stored bytes, also those the locale cannot show.
    return LinkInput{websiteNameAt(m_cbMySite->currentIndex()), ToAnsiKeeping(m_editAddress->text(), m_shown.PageUrl),
                     ToAnsiKeeping(m_editFirstName->text(), m_shown.FirstName),
                     ToAnsiKeeping(m_editLastName->text(), m_shown.LastName),
                     ToAnsiKeeping(m_editEmail->text(), m_shown.Email)};
}

rMonitorInfo TfrmEditItem::GetItem() const
{
    return LinkFromInput(input(), m_websites, m_keptCreated);
}

bool TfrmEditItem::ValidateItem()
{
    try {
        CheckLinkInput(input());
    } catch (const LinkInputFault& fault) {
        QWidget* field = fault.field() == LinkField::Website ? static_cast<QWidget*>(m_cbMySite) : m_editAddress;
        field->setFocus();
        ShowWarning(this, fault.text());
        return false;
    }
    const QByteArray typed = ToAnsiKeeping(m_editAddress->text(), m_shown.PageUrl);
    const QByteArray completed = CompletePageUrl(typed);
    if (completed != typed)
        m_editAddress->setText(FromAnsi(completed));
    accept();
    return true;
}

void TfrmEditItem::BBtnOKNewClick()
{
    if (ValidateItem())
        m_saveAndNew = true;
}

void TfrmEditItem::BBtnOkClick()
{
    if (ValidateItem())
        m_saveAndNew = false;
}

void AddItemForSite(QWidget* parent, const WebsiteTree& websites, LinkList& links, std::int32_t siteId,
                    const std::function<void(const rMonitorInfo&)>& stored)
{
    // One dialog at a time: each is gone before the next opens.
    for (;;) {
        bool again = false;
        {
            TfrmEditItem dialog(websites, parent);
            if (siteId != 0)
                dialog.ChooseWebsite(siteId);
            if (dialog.exec() != QDialog::Accepted)
                return;
            auto record = std::make_shared<rMonitorInfo>(dialog.GetItem());
            record->Status = lsUnchecked;
            record->LastCheck = 0;
            record->Worker = nullptr;
            {
                LinkList::Update update(links);
                links.append(record);
            }
            if (stored)
                stored(*record);
            again = dialog.SaveAndNew();
            siteId = record->SiteId;
        }
        if (!again)
            return;
    }
}

bool EditItem(QWidget* parent, const WebsiteTree& websites, LinkList& links, const LinkRecord& record)
{
    TfrmEditItem dialog(websites, parent);
    dialog.SetEditMode();
    dialog.SetItem(*record);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    StoreEditedLink(links, *record, dialog.GetItem());
    return true;
}
