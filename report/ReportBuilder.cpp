#include "report/ReportBuilder.h"

#include "model/DataFiles.h"
#include "model/LinkList.h"

QByteArray ReportPercent(std::int64_t count, std::int64_t total, QChar decimalSeparator)
{
    // Hundredths of a percent, rounded half away from zero (count is never negative).
    const std::int64_t hundredths = (count * 20000 + total) / (2 * total);
    QByteArray text = QByteArray::number(hundredths / 100);
    // The locale's separator is one character; a separator beyond Latin-1 cannot be written in an
    // 8-bit report and falls back to the full stop.
    const char16_t separator = decimalSeparator.unicode();
    text.append(separator > 0 && separator < 256 ? static_cast<char>(separator) : '.');
    const std::int64_t fraction = hundredths % 100;
    text.append(static_cast<char>('0' + fraction / 10));
    text.append(static_cast<char>('0' + fraction % 10));
    return text;
}

QByteArray BuildSiteBody(std::int32_t siteId, QByteArrayView bodyTemplate, const LinkList& links,
                         QChar decimalSeparator)
{
    std::int64_t total = 0;
    std::int64_t found = 0;
    std::int64_t notFound = 0;
    std::int64_t failed = 0;
    std::int64_t followed = 0;
    std::int64_t nofollow = 0;
    std::int64_t mention = 0;
    links.forEachRow([&](const rMonitorInfo& link) {
        if (link.SiteId != siteId)
            return;
        ++total;
        switch (link.Status) {
        case lsFound: ++found; break;
        case lsNotFound: ++notFound; break;
        case lsConnectionError: ++failed; break;
        default: break;
        }
        switch (link.Details.get().linkKind()) {
        case LinkKind::Followed: ++followed; break;
        case LinkKind::Nofollow: ++nofollow; break;
        case LinkKind::Mention: ++mention; break;
        case LinkKind::None:
        case LinkKind::Unknown: break;
        }
    });
    if (total == 0)
        return {};

    const auto countText = [&](std::int64_t count) {
        return QByteArray::number(count) + " (" + ReportPercent(count, total, decimalSeparator) + "%)";
    };
    QByteArray body = bodyTemplate.toByteArray();
    body.replace("[Total]", QByteArray::number(total));
    body.replace("[Found]", countText(found));
    body.replace("[NotFound]", countText(notFound));
    body.replace("[Error]", countText(failed));
    body.replace("[Followed]", countText(followed));
    body.replace("[Nofollow]", countText(nofollow));
    body.replace("[Mention]", countText(mention));
    return body;
}

QByteArray AssembleReport(const std::vector<QByteArray>& titleLines, QByteArrayView body,
                          const std::vector<QByteArray>& bottomLines)
{
    QByteArray text;
    const auto addLine = [&text](QByteArrayView line) {
        text.append(line);
        text.append("\r\n");
    };
    for (const QByteArray& line : titleLines)
        addLine(line);
    addLine(body);
    for (const QByteArray& line : bottomLines)
        addLine(line);
    return text;
}

std::vector<QByteArray> TemplateLines(QByteArrayView text)
{
    std::vector<QByteArray> lines;
    for (const QByteArrayView line : SplitLines(text))
        lines.push_back(line.toByteArray());
    return lines;
}
