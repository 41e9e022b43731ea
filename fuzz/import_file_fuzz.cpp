// An import file, CSV or plain. Whatever the bytes, every page and contact that comes out can be
// stored in Items.txt as it is: no control character and no field separator inside, and a page
// that starts with a scheme. A file refused with an error gives no pages.
#include "model/ImportSource.h"

#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

void checkStorable(const QByteArray& text)
{
    check(!text.contains("|||"));
    for (const char c : text)
        check(static_cast<unsigned char>(c) >= ' ');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ImportFile file = ReadImportFile(QStringLiteral("partners.csv"), bytes);
    check(file.error.isEmpty() || file.links.empty());
    check(file.withContacts || file.error.isEmpty() || file.links.empty());
    for (const ImportedLink& link : file.links) {
        check(!link.pageUrl.isEmpty());
        checkStorable(link.pageUrl);
        checkStorable(link.firstName);
        checkStorable(link.lastName);
        checkStorable(link.email);
    }
    return 0;
}
