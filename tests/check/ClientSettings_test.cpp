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
