#include "CheckFixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

QByteArray OkResponse(const QByteArray& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

bool RunUntil(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(60000);
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

CheckFixture::CheckFixture() : m_settings(m_dir.path() + QStringLiteral("/config.ini"))
{
    m_websites.AddRootWebsite();
    m_websites.append({"My site", "www.my-site.test", 1});
    m_websites.append({"Other site", "www.other.test", 2});
    m_dispatcher = std::make_unique<CheckDispatcher>(m_links, m_websites, m_settings);
    m_dispatcher->setRefreshStatusBar([this] {
        ++m_refreshes;
        if (m_onRefresh)
            m_onRefresh();
    });
}

CheckFixture::~CheckFixture()
{
    m_dispatcher->WaitUntilIdle();
    m_dispatcher.reset();
}

LinkRecord CheckFixture::addLink(const QByteArray& pageUrl, std::int32_t siteId)
{
    auto link = std::make_shared<rMonitorInfo>();
    link->SiteId = siteId;
    link->PageUrl = pageUrl;
    LinkList::Update update(m_links);
    m_links.append(link);
    return link;
}

int CheckFixture::countWithStatus(LinkStatus status) const
{
    int count = 0;
    m_links.forEachRow([&](const rMonitorInfo& link) { count += link.Status == status ? 1 : 0; });
    return count;
}

void CheckFixture::later(std::function<void()> action)
{
    QTimer::singleShot(0, &m_context, std::move(action));
}

void CheckFixture::onceWhen(std::function<bool()> when, std::function<void()> action)
{
    m_onRefresh = [this, when = std::move(when), action = std::move(action), done = false]() mutable {
        if (!done && when()) {
            done = true;
            later(action);
        }
    };
}

void CheckFixture::checkAll()
{
    m_dispatcher->StartAll();
    m_dispatcher->WaitUntilIdle();
}
