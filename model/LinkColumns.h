#pragma once

#include "model/Records.h"

#include <QByteArray>
#include <QString>

class DateTimeCodec;

// The columns of the inbound links list; the index is the number sorting uses.
enum LinkColumn : int {
    NoColumn = -1,
    ColResult = 0,
    ColUrl = 1,
    ColFirstName = 2,
    ColLastName = 3,
    ColEmail = 4,
    ColCreated = 5,
    ColLastCheck = 6,
};
inline constexpr int LinkColumnCount = 7;

// Negative, 0 or positive as `a` sorts before, with or after `b` by that column. Result compares
// the Status codes (-1, 0, 1); the texts compare with only a to z folded (the difference of the
// deciding codes or lengths); the date-times compare by whole milliseconds; any other column
// finds every pair equal.
int VSTItemCompareNodes(const rMonitorInfo& a, const rMonitorInfo& b, int column);

// The moment a date-time stands for when sorting: whole milliseconds, in order.
std::int64_t MillisecondKey(double days);

// The text a text column sorts by; null for the other columns.
const QByteArray* SortText(const rMonitorInfo& link, int column);

// Cell text: nothing for Result, the stored texts, Created always, Last check only when not 0.
QByteArray VSTItemGetText(const rMonitorInfo& link, int column, const DateTimeCodec& dates);
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
