#include "model/LinkColumns.h"

#include "model/CheckHistory.h"
#include "model/DateTimeCodec.h"
#include "model/TextUtil.h"
#include "model/WebsiteTree.h"

#include <cmath>
#include <limits>

namespace {

int compareDateTimes(double a, double b)
{
    const std::int64_t ma = MillisecondKey(a);
    const std::int64_t mb = MillisecondKey(b);
    return ma < mb ? -1 : (ma > mb ? 1 : 0);
}

constexpr const char* ArrangeTitles[ArrangeEntryCount] = {
    "Result", "Name", "Url", "First name", "Last name", "E - mail", "Created", "Last monitor",
};
constexpr int ArrangeColumns[ArrangeEntryCount] = {
    ColResult, ColUrl, ColUrl, ColFirstName, ColLastName, ColEmail, ColCreated, ColLastCheck,
};

}  // namespace

// Values less than a millisecond apart are one moment. Rounding to whole milliseconds keeps that
// for every value the program makes (clock readings carry whole milliseconds, file texts whole
// seconds) while staying transitive, which a stable sort and a list kept sorted need.
std::int64_t MillisecondKey(double days)
{
    constexpr double limit = 9.0e18;
    if (std::isnan(days))
        return std::numeric_limits<std::int64_t>::min();
    const double ms = std::round(days * 86'400'000.0);
    if (ms <= -limit)
        return std::numeric_limits<std::int64_t>::min() + 1;
    if (ms >= limit)
        return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(ms);
}

int DefaultColumnWidth(int column)
{
    switch (column) {
    case ColLink: return 90;
    case ColHttp: return 70;
    case ColAnchorText: return 160;
    case ColWebsite: return 120;
    case ColChange: return 120;
    default: return 50;
    }
}

DetailsSortKey DetailsKey(const CheckDetails& details, int column)
{
    switch (column) {
    case ColLink: return {static_cast<std::uint64_t>(details.linkKind()), {}};
    case ColHttp: {
        // As HttpCellText shows it: the status as a number, or else the kind as a text.
        const QByteArrayView failure = details.failure();
        if (details.httpStatus() > 0 && (failure.isEmpty() || failure == "http-status"))
            return {(std::uint64_t(1) << 32) | static_cast<std::uint32_t>(details.httpStatus()), {}};
        if (!failure.isEmpty())
            return {std::uint64_t(2) << 32, failure};
        return {};
    }
    case ColAnchorText: return {0, details.anchorText()};
    default: return {};
    }
}

int VSTItemCompareNodes(const rMonitorInfo& a, const rMonitorInfo& b, int column, const WebsiteTree* websites)
{
    switch (column) {
    case ColResult: return a.Status < b.Status ? -1 : (a.Status > b.Status ? 1 : 0);
    case ColUrl: return CompareFolded(a.PageUrl, b.PageUrl);
    case ColFirstName: return CompareFolded(a.FirstName, b.FirstName);
    case ColLastName: return CompareFolded(a.LastName, b.LastName);
    case ColEmail: return CompareFolded(a.Email, b.Email);
    case ColCreated: return compareDateTimes(a.Created, b.Created);
    case ColLastCheck: return compareDateTimes(a.LastCheck, b.LastCheck);
    case ColLink:
    case ColHttp:
    case ColAnchorText: {
        const DetailsSortKey ka = DetailsKey(a.Details.get(), column);
        const DetailsSortKey kb = DetailsKey(b.Details.get(), column);
        if (ka.number != kb.number)
            return ka.number < kb.number ? -1 : 1;
        return CompareFolded(ka.text, kb.text);
    }
    case ColWebsite:
        return websites ? CompareFolded(websites->WebsiteNameById(a.SiteId), websites->WebsiteNameById(b.SiteId)) : 0;
    case ColChange: return a.Changes < b.Changes ? -1 : (a.Changes > b.Changes ? 1 : 0);
    default: return 0;
    }
}

const QByteArray* SortText(const rMonitorInfo& link, int column)
{
    switch (column) {
    case ColUrl: return &link.PageUrl;
    case ColFirstName: return &link.FirstName;
    case ColLastName: return &link.LastName;
    case ColEmail: return &link.Email;
    default: return nullptr;
    }
}

QByteArray HttpCellText(const CheckDetails& details)
{
    const QByteArrayView failure = details.failure();
    if (details.httpStatus() > 0 && (failure.isEmpty() || failure == "http-status"))
        return QByteArray::number(details.httpStatus());
    return failure.toByteArray();
}

QByteArray VSTItemGetText(const rMonitorInfo& link, int column, const DateTimeCodec& dates, const WebsiteTree* websites)
{
    switch (column) {
    case ColUrl: return link.PageUrl;
    case ColFirstName: return link.FirstName;
    case ColLastName: return link.LastName;
    case ColEmail: return link.Email;
    case ColCreated: return dates.toText(link.Created);
    case ColLastCheck: return link.LastCheck == 0 ? QByteArray() : dates.toText(link.LastCheck);
    case ColLink: return LinkKindName(link.Details.get().linkKind()).toByteArray();
    case ColHttp: return HttpCellText(link.Details.get());
    case ColAnchorText: return link.Details.get().anchorText().toByteArray();
    case ColWebsite: return websites ? websites->WebsiteNameById(link.SiteId) : QByteArray();
    case ColChange: return ChangeText(link.Changes).toUtf8();
    default: return {};
    }
}

int VSTItemGetImageIndex(const rMonitorInfo& link, int column)
{
    if (column != ColResult)
        return -1;
    switch (link.Status) {
    case lsChecking: return 0;
    case lsConnectionError: return 1;
    case lsFound: return 2;
    case lsNotFound: return 3;
    default: return -1;
    }
}

QString VSTItemGetHint(const rMonitorInfo& link, int column)
{
    if (column != ColResult)
        return {};
    switch (link.Status) {
    case lsChecking: return QStringLiteral("Checking...");
    case lsFound: return QStringLiteral("Inbound links found");
    case lsNotFound: return QStringLiteral("Inbound links not Found");
    case lsConnectionError: return QStringLiteral("Connection Error");
    default: return {};
    }
}

const char* ArrangeEntryTitle(int entry)
{
    return (entry >= 0 && entry < ArrangeEntryCount) ? ArrangeTitles[entry] : "";
}

int ArrangeEntryColumn(int entry)
{
    return (entry >= 0 && entry < ArrangeEntryCount) ? ArrangeColumns[entry] : NoColumn;
}

bool StatusSortsBy(int column)
{
    return column == ColResult;
}

bool LastCheckSortsBy(int column)
{
    return column == ColLastCheck;
}

bool DetailsSortBy(int column)
{
    return column == ColLink || column == ColHttp || column == ColAnchorText || column == ColChange;
}
