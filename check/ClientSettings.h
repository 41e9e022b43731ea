#pragma once

#include "check/HttpClientConfig.h"

class SettingsFile;

// The client's settings as a check reads them from config.ini at its start: redirects followed, the
// time-outs, the User-Agent, compression, politeness to hosts, the retry, and the proxy.
//
// Hand-edited values that make no sense fall back: a negative time-out or host limit counts as the
// key's default, a negative pause between requests as none and one over a minute as a minute, and a
// User-Agent with control characters or over 512 bytes as the program's own.
HttpClientConfig ClientConfigFromSettings(const SettingsFile& settings);
// The proxy keys, applied only when "Proxy"/"UseProxy" is on.
void ApplyProxySettings(const SettingsFile& settings, HttpClientConfig& config);
