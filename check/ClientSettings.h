#pragma once

#include "check/HttpClientConfig.h"

class SettingsFile;

// The client's settings as a check reads them from config.ini at its start: redirects followed, the
// connect and read time-outs, the User-Agent, and the proxy.
HttpClientConfig ClientConfigFromSettings(const SettingsFile& settings);
// The proxy keys, applied only when "Proxy"/"UseProxy" is on.
void ApplyProxySettings(const SettingsFile& settings, HttpClientConfig& config);
