#pragma once

#include "model/CsvImport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QString>

#include <cstdint>
#include <vector>

class LinkList;

// An import file: the address of one partner page a line. A line is trimmed of the bytes 0 to 32
// at both ends, as the data files' texts are; a line left empty is no page and is skipped; the rest
// are completed as a typed address is (see CompletePageUrl).
std::vector<QByteArray> ImportUrlsFromText(QByteArrayView text);

// A text from a spreadsheet made fit for the data files, which cannot quote: a line break or other
// control character inside it becomes a blank, and "|||" loses its middle bar to a blank, so that
// a field never spills into the next field or line of Items.txt.
QByteArray StorableText(QByteArrayView text);

// The pages of an import file. A file named *.csv whose header names an address column gives its
// rows with their contacts (see ReadImportCsv); any other file is read one address a line. The
// addresses are completed as typed ones are, every text (a plain line's too) is made storable, and
// a CSV file that cannot be read whole is refused with `error` set: the user mends the file rather
// than importing part of it.
struct ImportFile {
    std::vector<ImportedLink> links;
    bool withContacts = false;  // read from a CSV header
    QString error;
};
ImportFile ReadImportFile(const QString& fileName, QByteArrayView bytes);

// Two addresses name the same page when they match as a check compares them, with a to z taken as
// A to Z; blanks around them do not count. The key is what matches.
QByteArray PageKey(QByteArrayView pageUrl);

// The keys of the pages that the links of one website already have.
QSet<QByteArray> PageKeysOfSite(const LinkList& links, std::int32_t siteId);

enum class Duplicate : std::uint8_t {
    None,
    InFile,    // the same page as an address before it
    Existing,  // a page the website already links from
};

// For each address, whether it repeats an earlier one or one of `existing`.
std::vector<Duplicate> FindDuplicates(const std::vector<QByteArray>& urls, const QSet<QByteArray>& existing);
