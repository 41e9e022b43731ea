#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Case folding and trimming as the whole system does them: only the ASCII letters a to z fold,
// and trimming removes the bytes 0 to 32 at both ends. No other byte is ever changed.

char UpperAscii(char c);
QByteArray UpperAscii(QByteArrayView text);

QByteArray TrimControl(QByteArrayView text);

// Website names are equal when they match after TrimControl and UpperAscii.
bool SameName(QByteArrayView a, QByteArrayView b);

// A partner page address as typed or imported: "http://" goes in front unless the text holds
// "HTTP://" or "HTTPS://" anywhere, in any letter case. Nothing else changes, blanks included.
QByteArray CompletePageUrl(QByteArrayView typed);

// Compares byte by byte with a to z taken as A to Z. The result is the difference of the deciding
// byte codes (as unsigned bytes), or of the lengths when one text is a prefix of the other.
int CompareFolded(QByteArrayView a, QByteArrayView b);
