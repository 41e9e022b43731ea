#include "model/DataFiles.h"

#include "model/DateTimeCodec.h"
#include "model/FileReplacer.h"
#include "model/LinkList.h"
#include "model/WebsiteTree.h"

#include <QFile>

#include <cstring>
#include <limits>

namespace {

const QByteArrayView Separator(FieldSeparator, 3);
const QByteArrayView LineBreak("\r\n", 2);

// Walks a line field by field: each field is the text before the next separator, and both are
// consumed; with no separator left the field is empty and the line used up.
class FieldReader {
public:
    explicit FieldReader(QByteArrayView line) : m_rest(line) {}

    QByteArrayView next()
    {
        const qsizetype at = m_rest.indexOf(Separator);
        if (at < 0) {
            m_rest = {};
            return {};
        }
        const QByteArrayView field = m_rest.first(at);
        m_rest = m_rest.sliced(at + Separator.size());
        return field;
    }

private:
    QByteArrayView m_rest;
};

void appendField(QByteArray& line, QByteArrayView field)
{
    line.append(field);
    line.append(Separator);
}

QByteArray readWholeFile(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = false;
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {};
    *ok = true;
    return data;
}

}  // namespace

bool ParseFileInteger(QByteArrayView text, std::int32_t* value)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return false;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1)
            return false;
    }
    const std::int64_t result = negative ? -magnitude : magnitude;
    if (result > std::numeric_limits<std::int32_t>::max())
        return false;
    *value = static_cast<std::int32_t>(result);
    return true;
}

QByteArray WebsiteToLine(const rMySiteInfo& site)
{
    QByteArray line;
    line.reserve(site.Name.size() + site.Url.size() + 20);
    appendField(line, site.Name);
    appendField(line, site.Url);
    appendField(line, QByteArray::number(site.Id));
    return line;
}

QByteArray LinkToLine(const rMonitorInfo& link, const DateTimeCodec& dates)
{
    QByteArray line;
    line.reserve(link.PageUrl.size() + link.FirstName.size() + link.LastName.size() + link.Email.size() + 64);
    appendField(line, QByteArray::number(link.SiteId));
    appendField(line, link.PageUrl);
    appendField(line, link.FirstName);
    appendField(line, link.LastName);
    appendField(line, link.Email);
    appendField(line, dates.toText(link.Created));
    appendField(line, dates.toText(link.LastCheck));
    return line;
}

QByteArray LinkToLine(const rMonitorInfo& link, const LocaleFormats& formats)
{
    return LinkToLine(link, DateTimeCodec(formats, DateTimeCodec::Mode::Direct));
}

rMySiteInfo LineToWebsite(QByteArrayView line)
{
    rMySiteInfo site;
    FieldReader fields(line);
    site.Name = fields.next().toByteArray();
    site.Url = fields.next().toByteArray();
    std::int32_t id = 0;
    if (ParseFileInteger(fields.next(), &id))
        site.Id = id;
    return site;
}

rMonitorInfo LineToLink(QByteArrayView line, const DateTimeCodec& dates)
{
    rMonitorInfo link;
    FieldReader fields(line);
    std::int32_t siteId = 0;
    if (!ParseFileInteger(fields.next(), &siteId))
        return link;
    link.SiteId = siteId;
    link.PageUrl = fields.next().toByteArray();
    link.FirstName = fields.next().toByteArray();
    link.LastName = fields.next().toByteArray();
    link.Email = fields.next().toByteArray();
    const std::optional<double> created = dates.fromText(fields.next());
    if (!created)
        return link;
    link.Created = *created;
    const std::optional<double> lastCheck = dates.fromText(fields.next());
    if (lastCheck)
        link.LastCheck = *lastCheck;
    return link;
}

rMonitorInfo LineToLink(QByteArrayView line, const LocaleFormats& formats)
{
    return LineToLink(line, DateTimeCodec(formats, DateTimeCodec::Mode::Direct));
}

std::vector<QByteArrayView> SplitLines(QByteArrayView text)
{
    if (text.isEmpty())
        return {};
    const void* nul = std::memchr(text.data(), 0, static_cast<size_t>(text.size()));
    if (nul)
        text = text.first(static_cast<const char*>(nul) - text.data());

    std::vector<QByteArrayView> lines;
    const char* p = text.data();
    const char* const end = p + text.size();
    const char* start = p;
    while (p < end) {
        const char c = *p;
        if (c != '\r' && c != '\n') {
            ++p;
            continue;
        }
        lines.emplace_back(start, p - start);
        p += (c == '\r' && p + 1 < end && p[1] == '\n') ? 2 : 1;
        start = p;
    }
    if (start < end)
        lines.emplace_back(start, end - start);
    return lines;
}

QByteArray WebsitesFileText(const WebsiteTree& websites)
{
    QByteArray text;
    for (const rMySiteInfo& site : websites.children()) {
        text.append(WebsiteToLine(site));
        text.append(LineBreak);
    }
    return text;
}

QByteArray LinksFileText(const LinkList& links, const LocaleFormats& formats)
{
    const DateTimeCodec dates(formats);
    QByteArray text;
    text.reserve(qsizetype(links.rowCount()) * 160);
    links.forEachRow([&](const rMonitorInfo& link) {
        text.append(LinkToLine(link, dates));
        text.append(LineBreak);
    });
    return text;
}

std::vector<rMySiteInfo> WebsitesFromText(QByteArrayView text)
{
    std::vector<rMySiteInfo> sites;
    for (QByteArrayView line : SplitLines(text))
        sites.push_back(LineToWebsite(line));
    return sites;
}

std::vector<LinkRecord> LinksFromText(QByteArrayView text, const LocaleFormats& formats)
{
    const DateTimeCodec dates(formats);
    const std::vector<QByteArrayView> lines = SplitLines(text);
    std::vector<LinkRecord> links;
    links.reserve(lines.size());
    for (QByteArrayView line : lines)
        links.push_back(std::make_shared<rMonitorInfo>(LineToLink(line, dates)));
    return links;
}

void SaveWebsites(const QString& appDir, const WebsiteTree& websites)
{
    ReplaceFileContents(appDir + QLatin1StringView(WebsitesFileName), WebsitesFileText(websites));
}

void SaveLinks(const QString& appDir, const LinkList& links, const LocaleFormats& formats)
{
    ReplaceFileContents(appDir + QLatin1StringView(LinksFileName), LinksFileText(links, formats));
}

void LoadWebsites(const QString& appDir, WebsiteTree& websites)
{
    bool ok = false;
    const QByteArray text = readWholeFile(appDir + QLatin1StringView(WebsitesFileName), &ok);
    if (!ok)
        return;
    for (rMySiteInfo& site : WebsitesFromText(text))
        websites.append(std::move(site));
}

void LoadLinks(const QString& appDir, LinkList& links, const LocaleFormats& formats,
               const std::function<void(std::vector<LinkRecord>&)>& prepare)
{
    bool ok = false;
    const QByteArray text = readWholeFile(appDir + QLatin1StringView(LinksFileName), &ok);
    if (!ok)
        return;
    std::vector<LinkRecord> records = LinksFromText(text, formats);
    if (prepare)
        prepare(records);
    links.appendMany(std::move(records));
}
