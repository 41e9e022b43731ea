// Splitting a file into lines. No line holds a line break or a NUL, and the lines joined by LF give
// the text before the first NUL with every CR LF and lone CR turned into LF, less a final break.
#include "model/DataFiles.h"

#include <cstdlib>
#include <cstring>

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
    const std::vector<QByteArrayView> lines = SplitLines(text);

    QByteArray joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QByteArrayView line = lines[i];
        check(line.data() >= text.data() && line.data() + line.size() <= text.data() + text.size());
        for (char c : line)
            check(c != '\r' && c != '\n' && c != '\0');
        if (i)
            joined.append('\n');
        joined.append(line);
    }

    QByteArray expected;
    for (std::size_t i = 0; i < size && data[i] != 0; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\r') {
            expected.append('\n');
            if (i + 1 < size && data[i + 1] == '\n')
                ++i;
        } else {
            expected.append(c);
        }
    }
    if (expected.endsWith('\n'))
        expected.chop(1);
    check(joined == expected);
    return 0;
}
