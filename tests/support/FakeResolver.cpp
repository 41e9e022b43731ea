#include "FakeResolver.h"

#include "check/CancelToken.h"
#include "check/FetchReasons.h"

void FakeResolver::add(const QByteArray& host, std::vector<IpAddress> addresses)
{
    const std::lock_guard lock(m_mutex);
    m_hosts[host] = std::move(addresses);
}

void FakeResolver::hang(const QByteArray& host)
{
    const std::lock_guard lock(m_mutex);
    m_hangs[host] = true;
}

ResolveResult FakeResolver::resolve(const QByteArray& host, CancelToken& cancel)
{
    ++m_lookUps;
    ResolveResult result;
    bool hangs = false;
    {
        const std::lock_guard lock(m_mutex);
        hangs = m_hangs.count(host) != 0;
        if (const auto found = m_hosts.find(host); found != m_hosts.end())
            result.addresses = found->second;
    }
    if (hangs) {
        ++m_hanging;
        // A day is for ever here: only cancelling the fetch ends the wait.
        cancel.sleepFor(qint64(24) * 3600 * 1000);
        --m_hanging;
        result.failure = FetchResult::failure(FetchError::Aborted, AbortedReason());
        result.addresses.clear();
        return result;
    }
    if (result.addresses.empty())
        result.failure = FetchResult::failure(FetchError::ResolveFailed, QStringLiteral("Host not found"));
    return result;
}

IpAddress Loopback4()
{
    return *IpAddress::parse("127.0.0.1");
}

IpAddress Loopback6()
{
    return *IpAddress::parse("::1");
}
