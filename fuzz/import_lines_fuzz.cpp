// An import file. Every address is non-empty, has no blank or control byte at either end, holds no
// line break, and carries a scheme; there is one for each line that holds more than blanks.
// Duplicate marks: one per address, the first of each page unmarked, every later one marked.
#include "model/DataFiles.h"
#include "model/ImportSource.h"
#include "model/TextUtil.h"

#include <QSet>

#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::vector<QByteArray> urls = ImportUrlsFromText(text);
    for (const QByteArray& url : urls) {
        check(!url.isEmpty());
        check(static_cast<unsigned char>(url.front()) > 32 && static_cast<unsigned char>(url.back()) > 32);
        check(!url.contains('\r') && !url.contains('\n') && !url.contains('\0'));
        const QByteArray folded = UpperAscii(url);
        check(folded.contains("HTTP://") || folded.contains("HTTPS://"));
    }

    std::size_t pages = 0;
    for (const QByteArrayView line : SplitLines(text))
        pages += TrimControl(line).isEmpty() ? 0 : 1;
    check(pages == urls.size());

    const std::vector<Duplicate> marks = FindDuplicates(urls, {});
    check(marks.size() == urls.size());
    QSet<QByteArray> seen;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        const QByteArray key = PageKey(urls[i]);
        check((marks[i] == Duplicate::None) == !seen.contains(key));
        check(marks[i] != Duplicate::Existing);
        seen.insert(key);
    }
    // Against every page of the file itself, each address is an existing one.
    for (const Duplicate mark : FindDuplicates(urls, seen))
        check(mark == Duplicate::Existing);
    return 0;
}
