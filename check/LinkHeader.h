#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The target (between "<" and ">", as written) of the first link in a Link header value whose rel
// parameter holds `relation` among its blank-separated tokens, compared without regard to case.
// Empty when there is none. Malformed links are skipped; a value never fails as a whole.
QByteArray LinkHeaderTarget(QByteArrayView value, QByteArrayView relation);

// Whether a blank-separated token list (a rel attribute or parameter) holds `token`, compared
// without regard to case. The blanks are ASCII whitespace.
bool HasToken(QByteArrayView list, QByteArrayView token);
