#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>

#include <cstdint>
#include <vector>

class LinkList;

// An import file: the address of one partner page a line. A line is trimmed of the bytes 0 to 32
// at both ends, as the data files' texts are; a line left empty is no page and is skipped; the rest
// are completed as a typed address is (see CompletePageUrl).
std::vector<QByteArray> ImportUrlsFromText(QByteArrayView text);

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
