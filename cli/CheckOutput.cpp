#include "cli/CheckOutput.h"

#include "model/Csv.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include <iterator>
#include <vector>

namespace {

// In this order the csv columns.
const char* const Keys[] = {"verdict",
                            "website",
                            "page",
                            "http_status",
                            "error",
                            "reason",
                            "blocked",
                            "final_url",
                            "redirects",
                            "elapsed_ms",
                            "bytes",
                            "link",
                            "href",
                            "rel",
                            "anchor_text",
                            "noindex",
                            "page_nofollow",
                            "canonical",
                            "canonical_elsewhere",
                            "evidence"};

QString Text(QByteArrayView bytes)
{
    return QString::fromUtf8(bytes);
}

QJsonValue TextOrNull(QByteArrayView bytes)
{
    return bytes.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(Text(bytes));
}

// One csv field of a jsonl value: an array's items joined by blanks, a missing value empty, and a
// text kept from running as a spreadsheet formula. Most texts come from partners' pages and servers
// (the reason phrase of a status line too); the program's own names never start like a formula.
QByteArray CsvValue(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Bool: return value.toBool() ? "true" : "false";
    case QJsonValue::Double: return QByteArray::number(value.toInteger());
    case QJsonValue::String: {
        return DefusedCsvText(value.toString().toUtf8());
    }
    case QJsonValue::Array: {
        QStringList parts;
        for (const QJsonValue& part : value.toArray())
            parts.append(part.toString());
        return DefusedCsvText(parts.join(u' ').toUtf8());
    }
    default: return {};
    }
}

std::vector<QByteArray> CsvRow(const QJsonObject& object)
{
    std::vector<QByteArray> fields;
    fields.reserve(std::size(Keys));
    for (const char* key : Keys)
        fields.push_back(CsvValue(object.value(QLatin1StringView(key))));
    return fields;
}

}  // namespace

std::optional<OutputFormat> ParseOutputFormat(QByteArrayView name)
{
    if (name == "tsv")
        return OutputFormat::Tsv;
    if (name == "jsonl")
        return OutputFormat::Jsonl;
    if (name == "csv")
        return OutputFormat::Csv;
    return std::nullopt;
}

const char* VerdictName(LinkStatus status)
{
    switch (status) {
    case lsFound: return "found";
    case lsNotFound: return "not-found";
    case lsConnectionError: return "connection-error";
    case lsUnchecked:
    case lsChecking: break;
    }
    return "unchecked";
}

QJsonObject LinkObject(const rMonitorInfo& link, QByteArrayView website)
{
    const CheckDetails& details = link.Details.get();
    QJsonArray redirects;
    for (qsizetype i = 0; i < details.redirectCount(); ++i)
        redirects.append(Text(details.redirect(i).url));
    QJsonArray rel;
    for (const QByteArrayView token : details.relTokens())
        rel.append(Text(token));
    const QByteArrayView kind = LinkKindName(details.linkKind());
    return QJsonObject{
        {QStringLiteral("verdict"), QString::fromLatin1(VerdictName(link.Status))},
        {QStringLiteral("website"), Text(website)},
        {QStringLiteral("page"), Text(link.PageUrl)},
        {QStringLiteral("http_status"),
         details.httpStatus() > 0 ? QJsonValue(details.httpStatus()) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("error"), TextOrNull(details.failure())},
        {QStringLiteral("reason"), details.reason()},
        {QStringLiteral("blocked"), details.blocked()},
        {QStringLiteral("final_url"), Text(details.finalUrl())},
        {QStringLiteral("redirects"), redirects},
        {QStringLiteral("elapsed_ms"), details.elapsedMs()},
        {QStringLiteral("bytes"), details.bytesReceived()},
        {QStringLiteral("link"), TextOrNull(kind)},
        {QStringLiteral("href"), Text(details.href())},
        {QStringLiteral("rel"), rel},
        {QStringLiteral("anchor_text"), Text(details.anchorText())},
        {QStringLiteral("noindex"), details.noindex()},
        {QStringLiteral("page_nofollow"), details.pageNofollow()},
        {QStringLiteral("canonical"), TextOrNull(details.canonical())},
        {QStringLiteral("canonical_elsewhere"), details.canonicalElsewhere()},
        {QStringLiteral("evidence"), Text(details.evidence())},
    };
}

QByteArray LinkLines(const LinkList& links, const WebsiteTree& websites, OutputFormat format)
{
    QByteArray out;
    CsvWriter csv;
    if (format == OutputFormat::Csv)
        csv.addRow(std::vector<QByteArray>(std::begin(Keys), std::end(Keys)));
    links.forEachRow([&](const rMonitorInfo& link) {
        if (!links.isVisible(link))
            return;
        const QByteArray website = websites.WebsiteNameById(link.SiteId);
        switch (format) {
        case OutputFormat::Tsv:
            out += QByteArray(VerdictName(link.Status)) + '\t' + website + '\t' + link.PageUrl + '\n';
            break;
        case OutputFormat::Jsonl:
            out += QJsonDocument(LinkObject(link, website)).toJson(QJsonDocument::Compact) + '\n';
            break;
        case OutputFormat::Csv: csv.addRow(CsvRow(LinkObject(link, website))); break;
        }
    });
    return format == OutputFormat::Csv ? csv.bytes() : out;
}
