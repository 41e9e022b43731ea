#pragma once

#include "check/Resolver.h"

#include <QByteArray>

#include <atomic>
#include <map>
#include <mutex>

// Name look-ups from a table, for tests: a host gets the addresses it is given, a failure, or a
// look-up that hangs until its fetch is cancelled. Any other host is not found.
class FakeResolver : public Resolver {
public:
    void add(const QByteArray& host, std::vector<IpAddress> addresses);
    // Look-ups of `host` block until they are cancelled.
    void hang(const QByteArray& host);

    ResolveResult resolve(const QByteArray& host, CancelToken& cancel) override;

    int lookUps() const { return m_lookUps.load(); }
    // Look-ups blocked in hang() right now.
    int hanging() const { return m_hanging.load(); }

private:
    mutable std::mutex m_mutex;
    std::map<QByteArray, std::vector<IpAddress>> m_hosts;
    std::map<QByteArray, bool> m_hangs;
    std::atomic<int> m_lookUps{0};
    std::atomic<int> m_hanging{0};
};

// "127.0.0.1" and "::1" as addresses.
IpAddress Loopback4();
IpAddress Loopback6();
