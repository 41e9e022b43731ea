#pragma once

#include "model/Csv.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Partner pages and their contacts from a spreadsheet saved as CSV.
//
// The first row is a header when one of its fields names the page address; the others may name the
// contact's first name, last name and e-mail, in any order. Names are compared without regard to
// letter case, blanks, hyphens, underscores and dots, so "Page URL", "page_url" and "PAGE-URL" are
// one name. Accepted:
//   address: url, uri, link, link url, page, page url, page address, address, web page, web address
//   first name: first name, first, given name, forename
//   last name: last name, last, surname, family name
//   e-mail: e-mail, email, mail, e-mail address
// The first column that carries a name counts; other columns are ignored.

struct ImportedLink {
    QByteArray pageUrl;  // as written, trimmed; the caller completes the address as for typed ones
    QByteArray firstName;
    QByteArray lastName;
    QByteArray email;

    bool operator==(const ImportedLink&) const = default;
};

struct CsvImport {
    // False when the file has no such header: the caller reads it one address a line, as a plain
    // text file.
    bool hasHeader = false;
    // One for each row below the header with an address; values are trimmed of blanks and control
    // characters, and rows without an address are left out.
    std::vector<ImportedLink> links;
    // Why reading stopped early, for the user; the rows before it are in `links`.
    QString error;
};

CsvImport ReadImportCsv(QByteArrayView bytes, CsvLimits limits = CsvLimits());
