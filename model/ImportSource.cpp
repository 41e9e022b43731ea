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
