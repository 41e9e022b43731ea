#include "app/CsvExport.h"

#include "dialogs/AnsiText.h"
#include "dialogs/FileDialogs.h"
#include "model/Backup.h"
#include "model/CheckHistory.h"
#include "model/Csv.h"
#include "model/DateTime.h"
#include "model/DateTimeCodec.h"
#include "model/FileReplacer.h"
#include "model/LinkColumns.h"
#include "model/LinkList.h"

#include <QDir>
#include <QFileInfo>

#include <vector>

namespace {

const char* const Header[] = {
    "Result",    "Url",        "First name",    "Last name", "E-mail",
    "Created",   "Last check", "Link",          "HTTP",      "Anchor text",
    "Website",   "Change",     "Reason",        "Final URL", "Redirects",
    "Time (ms)", "Bytes",      "Content-Type",  "Blocked",   "Href",
    "Rel",       "Noindex",    "Page nofollow", "Canonical", "Canonical elsewhere",
    "Evidence",
};

QByteArray ResultText(LinkStatus status)
{
    switch (status) {
    case lsChecking: return "checking";
    case lsFound: return "found";
    case lsNotFound: return "not found";
    case lsConnectionError: return "connection error";
    default: return "unchecked";
    }
}

QByteArray Flag(bool on)
{
    return on ? "yes" : "no";
}

}  // namespace

QList<QByteArray> CsvExportHeader()
{
    QList<QByteArray> row;
    for (const char* title : Header)
        row.append(title);
    return row;
}

QList<QByteArray> CsvExportRow(const rMonitorInfo& link, const DateTimeCodec& dates, const WebsiteTree* websites)
{
    QList<QByteArray> row;
    row.append(ResultText(link.Status));
    for (int column = ColUrl; column < LinkColumnCount; ++column) {
        const QByteArray text = VSTItemGetText(link, column, dates, websites);
        // Page texts and the change are UTF-8 already; the stored texts read as the list shows them.
        const bool utf8 = column == ColAnchorText || column == ColChange || column == ColLink || column == ColHttp;
        row.append(utf8 ? text : FromAnsi(text).toUtf8());
    }
    const CheckDetails& details = link.Details.get();
    const bool fetched = !details.isNull();
    row.append(details.reason().toUtf8());
    row.append(details.finalUrl().toByteArray());
    QByteArrayList hops;
    for (qsizetype hop = 0; hop < details.redirectCount(); ++hop) {
        const RedirectStep step = details.redirect(hop);
        hops.append(step.url + ' ' + QByteArray::number(step.status));
    }
    row.append(hops.join('\n'));
    row.append(fetched ? QByteArray::number(details.elapsedMs()) : QByteArray());
    row.append(fetched ? QByteArray::number(details.bytesReceived()) : QByteArray());
    row.append(details.contentType().toByteArray());
    row.append(fetched ? Flag(details.blocked()) : QByteArray());
    const bool analysed = details.extent() != AnalysisExtent::NotAnalysed;
    row.append(details.href().toByteArray());
    row.append(details.rel().toByteArray());
    row.append(analysed ? Flag(details.noindex()) : QByteArray());
    row.append(analysed ? Flag(details.pageNofollow()) : QByteArray());
    row.append(details.canonical().toByteArray());
    row.append(analysed ? Flag(details.canonicalElsewhere()) : QByteArray());
    row.append(details.evidence().toByteArray());
    // Whatever a page or a hand-edited file put there, opening the file runs none of it.
    for (QByteArray& field : row)
        field = DefusedCsvText(field);
    return row;
}

QByteArray ShownLinksCsv(const LinkList& links, const LocaleFormats& formats, const WebsiteTree* websites)
{
    const DateTimeCodec dates(formats);
    CsvWriter writer;
    const QList<QByteArray> header = CsvExportHeader();
    writer.addRow(std::vector<QByteArray>(header.begin(), header.end()));
    for (int visible = 0; visible < links.visibleCount(); ++visible) {
        const QList<QByteArray> row = CsvExportRow(links.visibleRecord(visible), dates, websites);
        writer.addRow(std::vector<QByteArray>(row.begin(), row.end()));
    }
    return writer.bytesWithBom();
}

void ExportShownLinks(QWidget* parent, const LinkList& links, const LocaleFormats& formats, const WebsiteTree* websites)
{
    const FileDialogRequest request{QStringLiteral("Export to CSV"), QStringLiteral("CSV files (*.csv);;All files (*)"),
                                    QStringLiteral("csv"), QDir::home().filePath(QStringLiteral("Inbound links.csv"))};
    const QString picked = fileDialogs().saveFileName(parent, request);
    if (picked.isEmpty())
        return;
    // The dialog asked before it let an existing file be picked; the file is written whole or not at all.
    ReplaceFileContents(WithDefaultExtension(picked, QStringLiteral("csv")), ShownLinksCsv(links, formats, websites),
                        FilePrivacy::Shared);
}
