#pragma once

#include "model/DateTime.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDialog>

#include <cstdint>

class LinkList;
class QPushButton;
class WebsiteCheckList;
class WebsiteTree;

// The report dialog: the user ticks websites and writes one HTML report for them, filled from the
// templates "Title.fmt", "Body.fmt" and "Bottom.fmt" (a copy in the data folder before the one that
// ships). It reads the websites and links and changes neither.
class TfrmReport : public QDialog {
    Q_OBJECT

public:
    TfrmReport(QWidget* parent, const WebsiteTree& websites, const LinkList& links,
               LocaleFormats formats = LocaleFormats::system());

    // Builds the report and asks where to save it; with no website ticked it only asks the user to
    // tick one. Throws CannotOpenFile for a missing template and
    // CannotCreateFile for a report that cannot be written; the button is restored either way.
    void BtnGenerateClick();
    QByteArray BuildSiteBody(std::int32_t siteId, QByteArrayView body) const;

    WebsiteCheckList* VSTSites() const { return m_vstSites; }
    QPushButton* BtnGenerate() const { return m_btnGenerate; }
    QPushButton* BtnClose() const { return m_btnClose; }

private:
    void FormCreate(const WebsiteTree& websites);

    const LinkList& m_links;
    const LocaleFormats m_formats;
    WebsiteCheckList* m_vstSites = nullptr;
    QPushButton* m_btnGenerate = nullptr;
    QPushButton* m_btnClose = nullptr;
};
