#pragma once

#include "model/Records.h"

#include <QByteArray>
#include <QString>

class DateTimeCodec;
class WebsiteTree;

// The columns of the inbound links list; the index is the number sorting uses. The first seven
// are the list's own; the others show what the latest check found out beside its verdict, and the
// link's website.
enum LinkColumn : int {
    NoColumn = -1,
    ColResult = 0,
    ColUrl = 1,
    ColFirstName = 2,
    ColLastName = 3,
    ColEmail = 4,
    ColCreated = 5,
    ColLastCheck = 6,
    ColLink = 7,
    ColHttp = 8,
    ColAnchorText = 9,
    ColWebsite = 10,
    ColChange = 11,
};
inline constexpr int LinkColumnCount = 12;

// The width a column has when config.ini stores none: 50 pixels for the first seven, as they
// always had, and a width that fits its usual content for the later ones.
int DefaultColumnWidth(int column);

// What a row sorts by in one of the columns that show check details: a number first, then a text
// compared as CompareFolded does (a view into the record's details).
struct DetailsSortKey {
    std::uint64_t number = 0;
    QByteArrayView text;
};
// Link: none shown first, then followed, nofollow, mention, none. HTTP: none shown first, then the
// status codes as numbers, then the failure kinds by name. Anchor text: the text.
DetailsSortKey DetailsKey(const CheckDetails& details, int column);

// Negative, 0 or positive as `a` sorts before, with or after `b` by that column. Result compares
// the Status codes (-1, 0, 1); the texts compare with only a to z folded (the difference of the
// deciding codes or lengths); the date-times compare by whole milliseconds; the details columns by
// their DetailsKey; Website by the websites' Names as texts, which needs `websites` (without it
// every pair is equal there); any other column finds every pair equal.
int VSTItemCompareNodes(const rMonitorInfo& a, const rMonitorInfo& b, int column,
                        const WebsiteTree* websites = nullptr);

// The moment a date-time stands for when sorting: whole milliseconds, in order.
std::int64_t MillisecondKey(double days);

// The text a text column of the record sorts by; null for the other columns.
const QByteArray* SortText(const rMonitorInfo& link, int column);

// Cell text: nothing for Result, the stored texts, Created always, Last check only when not 0.
// Link: "followed", "nofollow", "mention" or "none", empty until a page was fetched and analysed.
// HTTP: the status code, or the failure kind when the check failed for another reason than the
// status. Anchor text: the shown link's. Website: the website's Name (empty without `websites`).
// Change: what changed at the latest check ("lost", "now nofollow", ...), empty when nothing did.
QByteArray VSTItemGetText(const rMonitorInfo& link, int column, const DateTimeCodec& dates,
                          const WebsiteTree* websites = nullptr);
// The HTTP cell of a check's details.
QByteArray HttpCellText(const CheckDetails& details);
// Index into the status image list (0 checking, 1 connection error, 2 found, 3 not found), for the
// Result column only; -1 for no icon.
int VSTItemGetImageIndex(const rMonitorInfo& link, int column);
// Tool tip of the Result column; empty for other columns and for an unchecked link.
QString VSTItemGetHint(const rMonitorInfo& link, int column);

// The "Arrange By" submenu: its entries in order, and the column each sorts by.
inline constexpr int ArrangeEntryCount = 8;
const char* ArrangeEntryTitle(int entry);
int ArrangeEntryColumn(int entry);  // NoColumn for an entry outside the menu

// Whether changing that field of a record can move its row when the list sorts by `column`.
bool StatusSortsBy(int column);
bool LastCheckSortsBy(int column);
bool DetailsSortBy(int column);
