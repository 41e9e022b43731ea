#include "model/ImportSource.h"

#include "model/DataFiles.h"
#include "model/LinkList.h"
#include "model/TextUtil.h"

std::vector<QByteArray> ImportUrlsFromText(QByteArrayView text)
{
    const std::vector<QByteArrayView> lines = SplitLines(text);
    std::vector<QByteArray> urls;
    urls.reserve(lines.size());
    for (const QByteArrayView line : lines) {
        const QByteArray page = TrimControl(line);
        if (!page.isEmpty())
            urls.push_back(CompletePageUrl(page));
    }
    return urls;
}

QByteArray StorableText(QByteArrayView text)
{
    QByteArray out = text.toByteArray();
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 32)
            c = ' ';
    }
    for (qsizetype at = out.indexOf("|||"); at >= 0; at = out.indexOf("|||", at))
        out[at + 1] = ' ';
    return out;
}

ImportFile ReadImportFile(const QString& fileName, QByteArrayView bytes)
{
    ImportFile file;
    if (fileName.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
        CsvImport csv = ReadImportCsv(bytes);
        if (!csv.error.isEmpty()) {
            file.error = csv.error;
            return file;
        }
        if (csv.hasHeader) {
            file.withContacts = true;
            file.links.reserve(csv.links.size());
            for (const ImportedLink& row : csv.links) {
                file.links.push_back({StorableText(CompletePageUrl(row.pageUrl)), StorableText(row.firstName),
                                      StorableText(row.lastName), StorableText(row.email)});
            }
            return file;
        }
    }
    const std::vector<QByteArray> urls = ImportUrlsFromText(bytes);
    file.links.reserve(urls.size());
    for (const QByteArray& url : urls)
        file.links.push_back({StorableText(url), {}, {}, {}});
    return file;
}

QByteArray PageKey(QByteArrayView pageUrl)
{
    return UpperAscii(TrimControl(pageUrl));
}

QSet<QByteArray> PageKeysOfSite(const LinkList& links, std::int32_t siteId)
{
    QSet<QByteArray> keys;
    links.forEachRow([&keys, siteId](const rMonitorInfo& link) {
        if (link.SiteId == siteId)
            keys.insert(PageKey(link.PageUrl));
    });
    return keys;
}

std::vector<Duplicate> FindDuplicates(const std::vector<QByteArray>& urls, const QSet<QByteArray>& existing)
{
    std::vector<Duplicate> marks;
    marks.reserve(urls.size());
    QSet<QByteArray> seen;
    seen.reserve(static_cast<qsizetype>(urls.size()));
    for (const QByteArray& url : urls) {
        QByteArray key = PageKey(url);
        if (existing.contains(key))
            marks.push_back(Duplicate::Existing);
        else if (seen.contains(key))
            marks.push_back(Duplicate::InFile);
        else
            marks.push_back(Duplicate::None);
        seen.insert(std::move(key));
    }
    return marks;
}
