// Cutting a restore file apart. A text splits when and only when it holds two separator lines; the
// parts then hold whole CR LF lines, add up to every line but the two separators, only the middle
// part may hold a separator line, and a backup built from them splits into the same parts again.
#include "model/Backup.h"
#include "model/DataFiles.h"

#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

// The number of CR LF lines, checking that no other line break or NUL is inside.
std::size_t crLfLines(const QByteArray& part)
{
    check(part.isEmpty() || part.endsWith("\r\n"));
    std::size_t lines = 0;
    for (qsizetype i = 0; i < part.size(); ++i) {
        const char c = part[i];
        check(c != '\0');
        if (c == '\n')
            check(i > 0 && part[i - 1] == '\r');
        if (c == '\r') {
            check(i + 1 < part.size() && part[i + 1] == '\n');
            ++lines;
        }
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::vector<QByteArrayView> lines = SplitLines(text);
    std::size_t separators = 0;
    for (QByteArrayView line : lines)
        separators += line == QByteArrayView(BackupSeparator) ? 1 : 0;

    const std::optional<BackupParts> parts = SplitBackup(text);
    check(parts.has_value() == (separators >= 2));
    if (!parts)
        return 0;

    check(crLfLines(parts->settings) + crLfLines(parts->websites) + crLfLines(parts->links) + 2 == lines.size());
    for (QByteArrayView line : SplitLines(parts->settings))
        check(line != QByteArrayView(BackupSeparator));
    for (QByteArrayView line : SplitLines(parts->links))
        check(line != QByteArrayView(BackupSeparator));
    const std::optional<BackupParts> again = SplitBackup(BackupText(*parts));
    check(again.has_value() && *again == *parts);
    return 0;
}
