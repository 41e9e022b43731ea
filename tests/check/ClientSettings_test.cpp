#include "check/ClientSettings.h"

#include "model/SettingsFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ClientSettings : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    SettingsFile m_settings{m_dir.filePath(QStringLiteral("config.ini"))};
};

TEST_F(ClientSettings, DefaultsWithoutAnyKey)
{
    const HttpClientConfig config = ClientConfigFromSettings(m_settings);
    EXPECT_TRUE(config.followRedirects);
    EXPECT_EQ(config.connectTimeoutMs, 10000);
    EXPECT_EQ(config.readTimeoutMs, 30000);
    EXPECT_EQ(config.userAgent, "Quorvane/3.1 (+https://quorvane.example/)");
    EXPECT_TRUE(config.proxyHost.isEmpty());
    EXPECT_FALSE(config.proxyBasicAuth);
    EXPECT_EQ(config.totalTimeoutMs, 120000);
    EXPECT_TRUE(config.acceptCompression);
    EXPECT_EQ(config.perHostLimit, 4);
    EXPECT_EQ(config.hostDelayMs, 0);
    EXPECT_TRUE(config.retry);
}

TEST_F(ClientSettings, FetchKeysAsWrittenAndHandEditedNonsenseFallsBack)
{
    m_settings.write(Keys::TotalTimeout, 0);
    m_settings.write(Keys::Compression, false);
    m_settings.write(Keys::PerHostLimit, 0);
    m_settings.write(Keys::HostDelay, 1500);
    m_settings.write(Keys::Retry, false);
    m_settings.write(Keys::UserAgent, "Mozilla/5.0 (compatible; LinkWatch)");
    HttpClientConfig config = ClientConfigFromSettings(m_settings);
    EXPECT_EQ(config.totalTimeoutMs, 0);
    EXPECT_FALSE(config.acceptCompression);
    EXPECT_EQ(config.perHostLimit, 0);
    EXPECT_EQ(config.hostDelayMs, 1500);
    EXPECT_FALSE(config.retry);
    EXPECT_EQ(config.userAgent, "Mozilla/5.0 (compatible; LinkWatch)");

    m_settings.write(Keys::TotalTimeout, -1);
    m_settings.write(Keys::PerHostLimit, -3);
    m_settings.write(Keys::HostDelay, -1);
    m_settings.writeString("Connect", "UserAgent", "Agent\x01With a control character");
    config = ClientConfigFromSettings(m_settings);
    EXPECT_EQ(config.totalTimeoutMs, 120000);
    EXPECT_EQ(config.perHostLimit, 4);
    EXPECT_EQ(config.hostDelayMs, 0);
    EXPECT_EQ(config.userAgent, DefaultUserAgent());

    m_settings.write(Keys::HostDelay, 999999999);
    m_settings.write(Keys::UserAgent, QByteArray(600, 'a'));
    config = ClientConfigFromSettings(m_settings);
    EXPECT_EQ(config.hostDelayMs, 60000);
    EXPECT_EQ(config.userAgent, DefaultUserAgent());
}

TEST_F(ClientSettings, TimeoutsInSecondsWithZeroForNoneAndNegativeForTheDefault)
{
    const struct {
        int seconds;
        int expectedMs;
    } cases[] = {{0, 0}, {3, 3000}, {-5, 10000}, {2147483, 2147483000}, {2147484, 2147483647}};
    for (const auto& c : cases) {
        m_settings.write(Keys::ConnectTimeout, c.seconds);
        m_settings.write(Keys::ReadTimeout, c.seconds);
        const HttpClientConfig config = ClientConfigFromSettings(m_settings);
        EXPECT_EQ(config.connectTimeoutMs, c.expectedMs) << c.seconds;
        EXPECT_EQ(config.readTimeoutMs, c.seconds < 0 ? 30000 : c.expectedMs) << c.seconds;
    }
}

TEST_F(ClientSettings, ProxyKeysApplyOnlyWhenTheProxyIsOn)
{
    m_settings.write(Keys::ProxyServer, "proxy.test");
    m_settings.write(Keys::ProxyPort, 3128);
    m_settings.write(Keys::ProxyUser, "joe");
    m_settings.write(Keys::ProxyPass, "secret");
    EXPECT_TRUE(ClientConfigFromSettings(m_settings).proxyHost.isEmpty());

    m_settings.write(Keys::UseProxy, true);
    const HttpClientConfig config = ClientConfigFromSettings(m_settings);
    EXPECT_EQ(config.proxyHost, "proxy.test");
    EXPECT_EQ(config.proxyPort, 3128);
    EXPECT_TRUE(config.proxyBasicAuth);
    EXPECT_EQ(config.proxyUser, "joe");
    EXPECT_EQ(config.proxyPassword, "secret");
}

TEST_F(ClientSettings, ProxyOnWithNothingElseStillSendsCredentials)
{
    m_settings.write(Keys::UseProxy, true);
    const HttpClientConfig config = ClientConfigFromSettings(m_settings);
    EXPECT_TRUE(config.proxyHost.isEmpty());
    EXPECT_EQ(config.proxyPort, 80);
    EXPECT_TRUE(config.proxyBasicAuth);
}

}  // namespace
