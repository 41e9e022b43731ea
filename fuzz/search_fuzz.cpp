// The links search over any typed text and any stored fields. The first line is the typed text,
// the second the website's name, the rest the page address. Whatever they hold, a word of ASCII is
// found where a plain scan finds it, and a search that asks for more never matches a link that the
// shorter one misses.
#include "model/LinkSearch.h"
#include "model/TextUtil.h"
#include "model/WebsiteTree.h"

#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

bool PlainContains(QByteArrayView text, QByteArrayView upper)
{
    for (qsizetype at = 0; at + upper.size() <= text.size(); ++at) {
        qsizetype i = 0;
        while (i < upper.size() && UpperAscii(text[at + i]) == upper[i])
            ++i;
        if (i == upper.size())
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype firstBreak = input.indexOf('\n');
    const QByteArrayView typed = firstBreak < 0 ? input : input.first(firstBreak);
    const QByteArrayView rest = firstBreak < 0 ? QByteArrayView() : input.sliced(firstBreak + 1);
    const qsizetype secondBreak = rest.indexOf('\n');
    const QByteArrayView name = secondBreak < 0 ? QByteArrayView() : rest.first(secondBreak);
    const QByteArrayView page = secondBreak < 0 ? rest : rest.sliced(secondBreak + 1);

    // The field on a heap block of its own size, so that a read past its end is caught.
    const QByteArray field = page.toByteArray();
    const QByteArray upper = UpperAscii(typed.toByteArray());
    if (!upper.contains('\0'))
        check(ContainsFolded(field, upper) == PlainContains(field, upper));

    WebsiteTree websites;
    websites.AddRootWebsite();
    websites.append({name.toByteArray(), "site.example", 1});
    rMonitorInfo link;
    link.SiteId = 1;
    link.PageUrl = field;
    const LinkSearch search(typed, websites);
    const LinkSearch shorter(typed.chopped(typed.isEmpty() ? 0 : 1), websites);
    if (search.within(shorter) && search.matches(link))
        check(shorter.matches(link));
    return 0;
}
