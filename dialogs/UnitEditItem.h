#pragma once

#include "dialogs/InputFault.h"
#include "model/Records.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDialog>
#include <QList>

#include <cstdint>
#include <functional>

class LinkList;
class QComboBox;
class QLineEdit;
class QPushButton;
class WebsiteTree;

enum class LinkField { Website, Address };
using LinkInputFault = InputFault<LinkField>;

// What the inbound link dialog holds, as the bytes a record stores.
struct LinkInput {
    QByteArray website;  // the chosen website's name
    QByteArray address;
    QByteArray firstName;
    QByteArray lastName;
    QByteArray email;
};

// Throws LinkInputFault: first when no website is chosen, then when the address is blank.
void CheckLinkInput(const LinkInput& input);

// The record the dialog returns: trimmed texts, the website's Id by name, and keptCreated as Created
// unless it is 0, in which case the current local time. Status, LastCheck and Worker stay unset.
rMonitorInfo LinkFromInput(const LinkInput& input, const WebsiteTree& websites, double keptCreated);

// The index of the last entry with the same name; 0, the first entry, when none has it.
int WebsiteIndexByName(const QList<QByteArray>& entries, QByteArrayView name);

// Stores an edited link in its row. The old verdict stays only while the address and the website
// are unchanged; otherwise the link is unchecked again, unless a check of it is still running.
void StoreEditedLink(LinkList& links, const rMonitorInfo& record, const rMonitorInfo& entered);

// "Inbound link info": enters a new inbound link or changes one.
class TfrmEditItem : public QDialog {
    Q_OBJECT

public:
    TfrmEditItem(const WebsiteTree& websites, QWidget* parent = nullptr);

    // Chooses the website of this Id in CBMySite; the first one when no website has the Id.
    void ChooseWebsite(std::int32_t id);
    // Changing a link: no "S&ave && New", and "&Save && Close" takes Enter.
    void SetEditMode();

    void SetItem(const rMonitorInfo& record);
    rMonitorInfo GetItem() const;
    LinkInput input() const;

    bool SaveAndNew() const { return m_saveAndNew; }
    double KeptCreated() const { return m_keptCreated; }

    QComboBox* CBMySite() const { return m_cbMySite; }
    QLineEdit* EditAddress() const { return m_editAddress; }
    QLineEdit* EditFirstName() const { return m_editFirstName; }
    QLineEdit* EditLastName() const { return m_editLastName; }
    QLineEdit* EditEmail() const { return m_editEmail; }
    QPushButton* BBtnOKNew() const { return m_bbtnOkNew; }
    QPushButton* BBtnOk() const { return m_bbtnOk; }
    QPushButton* BitBtn1() const { return m_bitBtn1; }

private:
    void FormCreate();
    void BBtnOKNewClick();
    void BBtnOkClick();
    // Completes the address and accepts, or shows why not; false when the input was refused.
    bool ValidateItem();
    int WebsiteIndexByName(QByteArrayView name) const;

    QByteArray websiteNameAt(int index) const;

    const WebsiteTree& m_websites;
    rMonitorInfo m_shown;  // the record SetItem showed, to keep untouched fields byte for byte
    bool m_saveAndNew = false;
    double m_keptCreated = 0;

    QComboBox* m_cbMySite;
    QLineEdit* m_editAddress;
    QLineEdit* m_editFirstName;
    QLineEdit* m_editLastName;
    QLineEdit* m_editEmail;
    QPushButton* m_bbtnOkNew;
    QPushButton* m_bbtnOk;
    QPushButton* m_bitBtn1;
};

// Runs the dialog for new links, starting with the website of siteId chosen (none for 0). Each saved
// link goes to the end of the list unchecked, then `stored` runs with it. After "S&ave && New" a
// fresh dialog follows for the same website, until one is left otherwise.
void AddItemForSite(QWidget* parent, const WebsiteTree& websites, LinkList& links, std::int32_t siteId,
                    const std::function<void(const rMonitorInfo&)>& stored);

// Runs the dialog on a link's record and stores the change in place; false when nothing was saved.
bool EditItem(QWidget* parent, const WebsiteTree& websites, LinkList& links, const LinkRecord& record);
