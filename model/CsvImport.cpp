#include "model/CsvImport.h"

#include "model/TextUtil.h"

#include <array>

namespace {

enum Column { PageUrl, FirstName, LastName, Email, ColumnCount };

QByteArray Normalised(QByteArrayView name)
{
    QByteArray out;
    for (const char c : TrimControl(name)) {
        if (c == ' ' || c == '-' || c == '_' || c == '.' || c == '\t')
            continue;
        out.append(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
    }
    return out;
}

int ColumnNamed(QByteArrayView header)
{
    static const std::array<std::initializer_list<const char*>, ColumnCount> names = {{
        {"url", "uri", "link", "linkurl", "page", "pageurl", "pageaddress", "address", "webpage", "webaddress"},
        {"firstname", "first", "givenname", "forename"},
        {"lastname", "last", "surname", "familyname"},
        {"email", "mail", "emailaddress"},
    }};
    const QByteArray name = Normalised(header);
    for (int column = 0; column < ColumnCount; ++column) {
        for (const char* known : names[std::size_t(column)]) {
            if (name == known)
                return column;
        }
    }
    return -1;
}

}  // namespace

CsvImport ReadImportCsv(QByteArrayView bytes, CsvLimits limits)
{
    CsvImport result;
    CsvReader reader(bytes, limits);
    std::vector<QByteArray> fields;
    if (!reader.next(fields)) {
        result.error = reader.error();
        return result;
    }
    std::array<qsizetype, ColumnCount> at;
    at.fill(-1);
    for (qsizetype i = 0; i < qsizetype(fields.size()); ++i) {
        const int column = ColumnNamed(fields[std::size_t(i)]);
        if (column >= 0 && at[std::size_t(column)] < 0)
            at[std::size_t(column)] = i;
    }
    if (at[PageUrl] < 0)
        return result;
    result.hasHeader = true;

    const auto value = [&](Column column) {
        const qsizetype index = at[std::size_t(column)];
        return index >= 0 && index < qsizetype(fields.size()) ? TrimControl(fields[std::size_t(index)]) : QByteArray();
    };
    while (reader.next(fields)) {
        ImportedLink link{value(PageUrl), value(FirstName), value(LastName), value(Email)};
        if (!link.pageUrl.isEmpty())
            result.links.push_back(std::move(link));
    }
    result.error = reader.error();
    return result;
}
