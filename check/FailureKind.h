#pragma once

#include "check/FetchResult.h"

#include <QByteArrayView>

// The stable name of a failure kind, as check details keep it and outputs write it: "invalid-url",
// "resolve", "connect", "connect-timeout", "proxy", "tls", "send", "read", "read-timeout", "closed",
// "too-long", "http-status", "aborted". Empty for no failure.
QByteArrayView FailureKindName(FetchError error);
