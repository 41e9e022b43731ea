#pragma once

#include "dialogs/InputFault.h"
#include "model/Records.h"

#include <QByteArrayView>
#include <QDialog>

#include <cstdint>
#include <optional>

class QLineEdit;
class QPushButton;
class WebsiteTree;

enum class SiteField { Name, Url };
using SiteInputFault = InputFault<SiteField>;

// Throws SiteInputFault, in this order: a name that another node has (every node, the root
// included, apart from the one whose Id is editId), an empty name, an empty domain text.
void CheckSiteInput(const WebsiteTree& websites, QByteArrayView name, QByteArrayView url, std::int32_t editId);

// "My own website": enters a new own website or changes one.
class TfrmAddOwnSite : public QDialog {
    Q_OBJECT

public:
    TfrmAddOwnSite(const WebsiteTree& websites, QWidget* parent = nullptr);

    void SetSite(const rMySiteInfo& site);
    // Trimmed texts; the website's own Id when changing it, otherwise the next free one.
    rMySiteInfo GetSite() const;

    bool EditMode() const { return m_editMode; }
    void setEditMode(bool editMode) { m_editMode = editMode; }
    std::int32_t EditId() const { return m_editId; }

    QLineEdit* EditName() const { return m_editName; }
    QLineEdit* EditUrl() const { return m_editUrl; }
    QPushButton* BBtnOk() const { return m_bbtnOk; }
    QPushButton* BitBtn1() const { return m_bitBtn1; }

private:
    void BBtnOkClick();

    const WebsiteTree& m_websites;
    bool m_editMode = false;
    std::int32_t m_editId = 0;

    QLineEdit* m_editName;
    QLineEdit* m_editUrl;
    QPushButton* m_bbtnOk;
    QPushButton* m_bitBtn1;
};

// The new website the user entered, or nothing when the dialog was closed.
std::optional<rMySiteInfo> AskNewWebsite(QWidget* parent, const WebsiteTree& websites);
// The website as the user changed it, with the same Id, or nothing when the dialog was closed.
std::optional<rMySiteInfo> AskChangedWebsite(QWidget* parent, const WebsiteTree& websites, const rMySiteInfo& site);
