#include "check/ClientSettings.h"

#include "check/HttpUrl.h"
#include "model/SettingsFile.h"

#include <algorithm>

namespace {

constexpr int LongestHostDelayMs = 60000;
constexpr qsizetype LongestUserAgent = 512;

// Seconds from the settings file as milliseconds; a negative value counts as the key's default.
int Milliseconds(const SettingsSnapshot& settings, const IntKey& key)
{
    int seconds = settings.read(key);
    if (seconds < 0)
        seconds = key.defaultValue;
    return static_cast<int>(std::min<long long>(static_cast<long long>(seconds) * 1000, 0x7fffffff));
}

QByteArray UserAgent(const SettingsSnapshot& settings)
{
    const QByteArray agent = settings.read(Keys::UserAgent);
    // Anything that could end the header line early, or make a request no server takes, is ignored.
    if (agent.isEmpty() || agent.size() > LongestUserAgent || HasControlCharacter(agent))
        return DefaultUserAgent();
    return agent;
}

void ApplyProxySettings(const SettingsSnapshot& settings, HttpClientConfig& config)
{
    if (!settings.read(Keys::UseProxy))
        return;
    config.proxyHost = settings.read(Keys::ProxyServer);
    config.proxyPort = settings.read(Keys::ProxyPort);
    config.proxyBasicAuth = true;
    config.proxyUser = settings.read(Keys::ProxyUser);
    config.proxyPassword = settings.read(Keys::ProxyPass);
}

}  // namespace

void ApplyProxySettings(const SettingsFile& settings, HttpClientConfig& config)
{
    ApplyProxySettings(settings.snapshot(), config);
}

HttpClientConfig ClientConfigFromSettings(const SettingsFile& file)
{
    // One read of the file for every key: a check sees one version of it, never half of a change.
    const SettingsSnapshot settings = file.snapshot();
    HttpClientConfig config;
    config.followRedirects = true;
    config.connectTimeoutMs = Milliseconds(settings, Keys::ConnectTimeout);
    config.readTimeoutMs = Milliseconds(settings, Keys::ReadTimeout);
    config.totalTimeoutMs = Milliseconds(settings, Keys::TotalTimeout);
    config.userAgent = UserAgent(settings);
    config.acceptCompression = settings.read(Keys::Compression);
    const int limit = settings.read(Keys::PerHostLimit);
    config.perHostLimit = limit < 0 ? Keys::PerHostLimit.defaultValue : limit;
    config.hostDelayMs = std::clamp(settings.read(Keys::HostDelay), 0, LongestHostDelayMs);
    config.retry = settings.read(Keys::Retry);
    ApplyProxySettings(settings, config);
    return config;
}
