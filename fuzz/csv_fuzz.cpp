// CSV as the import reads it. Reading stays within its limits whatever the bytes, the import keeps
// only rows with an address, and rows made of the input's own bytes come back field for field after
// writing and reading them again.
#include "model/Csv.h"
#include "model/CsvImport.h"

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
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    CsvLimits limits;
    limits.maxFieldBytes = 64;
    limits.maxRowBytes = 256;
    limits.maxFieldsPerRow = 8;
    CsvReader reader(bytes, limits);
    std::vector<QByteArray> fields;
    qsizetype line = 0;
    while (reader.next(fields)) {
        check(!fields.empty() && qsizetype(fields.size()) <= limits.maxFieldsPerRow);
        for (const QByteArray& field : fields)
            check(field.size() <= limits.maxFieldBytes);
        check(reader.line() > line);
        line = reader.line();
    }

    const CsvImport import = ReadImportCsv(bytes, limits);
    check(import.hasHeader || import.links.empty());
    for (const ImportedLink& link : import.links)
        check(!link.pageUrl.isEmpty() && static_cast<unsigned char>(link.pageUrl.front()) > ' ');

    // Rows from the input itself: 0x01 ends a row, 0x02 ends a field; every other byte, line breaks,
    // quotes and commas included, belongs to a field.
    std::vector<std::vector<QByteArray>> rows(1, std::vector<QByteArray>(1));
    for (const char c : bytes) {
        if (c == '\x01')
            rows.emplace_back(1);
        else if (c == '\x02')
            rows.back().emplace_back();
        else
            rows.back().back().append(c);
    }
    CsvWriter writer;
    for (const std::vector<QByteArray>& row : rows)
        writer.addRow(row);
    const CsvTable table = ReadCsv(writer.bytesWithBom(), CsvLimits{1 << 20, 1 << 22, 1 << 16});
    check(table.error.isEmpty());
    check(table.rows == rows);
    return 0;
}
