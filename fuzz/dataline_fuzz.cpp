// The data-file line parsers over arbitrary lines. A record read from any line must read back the
// same after it is written (a save and a load change nothing more), and the compiled date-time
// reader must give exactly what Qt's reader gives.
#include "model/DataFiles.h"
#include "model/DateTimeCodec.h"

#include <QDate>

#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

const LocaleFormats& formatsFor(std::uint8_t pick)
{
    static const LocaleFormats all[] = {
        {QStringLiteral("M/d/yyyy"), QStringLiteral("h:mm:ss AP")},
        {QStringLiteral("dd.MM.yyyy"), QStringLiteral("HH:mm:ss")},
        {QStringLiteral("yyyy. M. d."), QStringLiteral("AP h:m:s")},
    };
    return all[pick % 3];
}

bool sameLink(const rMonitorInfo& a, const rMonitorInfo& b)
{
    return a.SiteId == b.SiteId && a.PageUrl == b.PageUrl && a.FirstName == b.FirstName && a.LastName == b.LastName &&
        a.Email == b.Email && a.Created == b.Created && a.LastCheck == b.LastCheck;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const LocaleFormats& formats = formatsFor(data[0]);
    static const DateTimeCodec codecs[] = {DateTimeCodec(formatsFor(0)), DateTimeCodec(formatsFor(1)),
                                           DateTimeCodec(formatsFor(2))};
    const DateTimeCodec& codec = codecs[data[0] % 3];
    const QByteArrayView line(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));

    const rMonitorInfo link = LineToLink(line, codec);
    check(sameLink(link, LineToLink(line, formats)));
    const rMonitorInfo again = LineToLink(LinkToLine(link, codec), codec);
    check(sameLink(link, again));

    const rMySiteInfo site = LineToWebsite(line);
    const rMySiteInfo siteAgain = LineToWebsite(WebsiteToLine(site));
    check(site.Name == siteAgain.Name && site.Url == siteAgain.Url && site.Id == siteAgain.Id);

    std::optional<double> expected = TextToDateTime(line, formats);
    if (expected && !DecodeDate(*expected).isValid())
        expected.reset();  // a day that cannot be written back is no date-time of the files
    check(codec.fromText(line) == expected);
    return 0;
}
