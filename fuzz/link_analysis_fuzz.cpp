// The link analysis of a page. The first line of the input is the website's Url, the second the
// page's final address, the third a header value given both as X-Robots-Tag and as Link; the rest
// is the page.
#include "check/PageAnalysis.h"
#include "check/PageExcerpts.h"
#include "check/PageMatch.h"
#include "check/WebUrl.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

QByteArrayView NextLine(QByteArrayView& input)
{
    const qsizetype end = input.indexOf('\n');
    const QByteArrayView line = end < 0 ? input : input.first(end);
    input = end < 0 ? QByteArrayView() : input.sliced(end + 1);
    return line;
}

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

bool IsUtf8(const QByteArray& text)
{
    return QString::fromUtf8(text).toUtf8() == text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArrayView website = NextLine(input);
    const QByteArrayView finalUrl = NextLine(input);
    const QByteArrayView header = NextLine(input);
    const QByteArrayView page = input;
    const ResponseHeaders headers = {{"X-Robots-Tag", header.toByteArray()}, {"Link", header.toByteArray()}};
    const LinkAnalysis analysis = AnalysePage(page, headers, finalUrl, website);

    Require(analysis.evidence.size() <= ExcerptLimit);
    Require(analysis.matchStart >= 0 && analysis.matchLength >= 0 &&
            analysis.matchStart + analysis.matchLength <= analysis.evidence.size());
    Require(analysis.evidence.isEmpty() || page.contains(analysis.evidence));
    Require(IsUtf8(analysis.anchorText) && QString::fromUtf8(analysis.anchorText).toUcs4().size() <= AnchorTextLimit);
    Require(!analysis.anchorText.startsWith(' ') && !analysis.anchorText.endsWith(' '));

    const bool linked = analysis.kind == LinkKind::Followed || analysis.kind == LinkKind::Nofollow;
    Require(linked == !analysis.href.isEmpty());
    Require((analysis.kind == LinkKind::Unknown) == (analysis.extent == AnalysisExtent::Abandoned));
    if (analysis.kind == LinkKind::Mention || analysis.kind == LinkKind::None)
        Require(MatchPage(page, website) == (analysis.kind == LinkKind::Mention));
    if (analysis.kind == LinkKind::Followed)
        Require(!analysis.pageNofollow);

    // What the analysis writes out reads back as itself.
    for (const QByteArray& address : {analysis.href, analysis.canonical}) {
        if (address.isEmpty())
            continue;
        const std::optional<WebUrl> again = WebUrl::parse(address);
        Require(again && again->toEncoded() == address);
    }
    return 0;
}
