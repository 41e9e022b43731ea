#pragma once

#include "check/CheckDispatcher.h"
#include "model/LinkList.h"
#include "model/SettingsFile.h"
#include "model/WebsiteTree.h"

#include <QByteArray>
#include <QObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

// "HTTP/1.1 200 OK" with the body and its length.
QByteArray OkResponse(const QByteArray& body);

// Runs the event loop until `done` holds. False when it still does not after a long while, which
// only a hang causes.
bool RunUntil(const std::function<bool()>& done);

// A links list and the websites "My site" (Id 1, "www.my-site.test") and "Other site" (Id 2,
// "www.other.test") in a temporary AppDir, with a dispatcher over them, as the window holds them.
class CheckFixture : public ::testing::Test {
protected:
    CheckFixture();
    ~CheckFixture() override;

    LinkRecord addLink(const QByteArray& pageUrl, std::int32_t siteId = 1);
    void setThreadCount(int count) { m_settings.write(Keys::ThreadCount, count); }
    int countWithStatus(LinkStatus status) const;
    // Runs `action` from the event loop soon, outside whatever is running now.
    void later(std::function<void()> action);
    // Calls `action` once, from the event loop, the first time a refresh finds `when` true.
    void onceWhen(std::function<bool()> when, std::function<void()> action);
    // StartAll, then every check to its end.
    void checkAll();

    QTemporaryDir m_dir;
    SettingsFile m_settings;
    WebsiteTree m_websites;
    LinkList m_links;
    QObject m_context;
    int m_refreshes = 0;
    std::function<void()> m_onRefresh;
    std::unique_ptr<CheckDispatcher> m_dispatcher;
};
