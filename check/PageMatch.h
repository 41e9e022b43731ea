#pragma once

#include <QByteArrayView>

// Where the page holds the address: both upper-cased in ASCII only (a to z; every other byte,
// those above 127 included, must match exactly) and searched as bytes over the whole page, NUL
// bytes included. The offset of the first occurrence, or -1; an empty address is never found.
qsizetype FindAddress(QByteArrayView page, QByteArrayView siteUrl);

// Whether the page holds the address, as FindAddress finds it: the verdict of a check.
bool MatchPage(QByteArrayView page, QByteArrayView siteUrl);
