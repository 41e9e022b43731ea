#include "check/ClientSettings.h"

#include "model/SettingsFile.h"

#include <algorithm>

namespace {

// Seconds from the settings file as milliseconds; a negative value counts as the key's default.
int Milliseconds(int seconds, int defaultSeconds)
{
    if (seconds < 0)
        seconds = defaultSeconds;
    return static_cast<int>(std::min<long long>(static_cast<long long>(seconds) * 1000, 0x7fffffff));
}

}  // namespace

void ApplyProxySettings(const SettingsFile& settings, HttpClientConfig& config)
{
    if (!settings.read(Keys::UseProxy))
        return;
    config.proxyHost = settings.read(Keys::ProxyServer);
    config.proxyPort = settings.read(Keys::ProxyPort);
    config.proxyBasicAuth = true;
    config.proxyUser = settings.read(Keys::ProxyUser);
    config.proxyPassword = settings.read(Keys::ProxyPass);
}

HttpClientConfig ClientConfigFromSettings(const SettingsFile& settings)
{
    HttpClientConfig config;
    config.followRedirects = true;
    config.connectTimeoutMs = Milliseconds(settings.read(Keys::ConnectTimeout), Keys::ConnectTimeout.defaultValue);
    config.readTimeoutMs = Milliseconds(settings.read(Keys::ReadTimeout), Keys::ReadTimeout.defaultValue);
    config.userAgent = DefaultUserAgent();
    ApplyProxySettings(settings, config);
    return config;
}
