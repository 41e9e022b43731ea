// The INI reader and writer over arbitrary file contents. The first two bytes pick the section and
// key to write, the next one splits the rest into the new value and the file's contents.
#include "model/IniText.h"

#include <cstdlib>

namespace {

constexpr const char* sections[] = {"Common", "common", "Proxy", "ColumnWidth", "", "S"};
constexpr const char* keys[] = {"ThreadCount", "THREADCOUNT", "UseProxy", "0", "", "k"};

void check(bool condition)
{
    if (!condition)
        abort();
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// What a read returns for a value that was written as it is.
QByteArray expectedRead(QByteArray value)
{
    for (char& c : value) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    qsizetype begin = 0;
    qsizetype end = value.size();
    while (begin < end && isBlank(value[begin]))
        ++begin;
    while (end > begin && isBlank(value[end - 1]))
        --end;
    value = value.sliced(begin, end - begin);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return value.left(IniText::MaxValueLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const char* section = sections[data[0] % std::size(sections)];
    const char* key = keys[data[1] % std::size(keys)];
    const QByteArrayView rest(reinterpret_cast<const char*>(data + 3), qsizetype(size - 3));
    const qsizetype cut = std::min<qsizetype>(data[2], rest.size());
    const QByteArray value = rest.first(cut).toByteArray();
    const QByteArrayView contents = rest.sliced(cut);

    for (const char* s : sections) {
        for (const char* k : keys) {
            const std::optional<QByteArray> read = IniText::readValue(contents, s, k);
            if (read) {
                check(read->size() <= IniText::MaxValueLength);
                (void)IniText::parseInteger(*read);
            }
        }
    }

    const QByteArray written = IniText::writeValue(contents, section, key, value);
    check(IniText::readValue(written, section, key) == expectedRead(value));
    // Every other key reads as it did before.
    for (const char* s : sections) {
        for (const char* k : keys) {
            if (qstricmp(s, section) == 0 && qstricmp(k, key) == 0)
                continue;
            check(IniText::readValue(written, s, k) == IniText::readValue(contents, s, k));
        }
    }
    // Writing the same again changes nothing.
    check(IniText::writeValue(written, section, key, value) == written);
    return 0;
}
