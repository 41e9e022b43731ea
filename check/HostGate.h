#pragma once

#include "check/FetchResult.h"

#include <QByteArray>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

class CancelToken;

// Politeness to partner sites, shared by every fetch of the process: at most a given number of
// fetches talk to one host at a time, and, when asked, requests to one host keep a minimum pause
// between them. Fetches wait for their host in the order they came, and a wait ends at once when
// the fetch is cancelled. A fetch holds at most one pass at a time (it gives up its pass before it
// asks for another host's), so waiting fetches can never block one another for good.
class HostGate {
public:
    class Pass;

    // The gate every fetch goes through.
    static HostGate& shared();

    // Waits until fewer than `limit` fetches hold a pass for `host` and every fetch that came earlier
    // for it has gone in, then gives `pass` for it. A limit of 0 or less lets the fetch in at once.
    // Fails with FetchError::Aborted when `cancel` fires first.
    FetchResult enter(const QByteArray& host, int limit, CancelToken& cancel, Pass& pass);

    // For tests: fetches holding a pass for `host`, and fetches waiting for one.
    int holding(const QByteArray& host) const;
    int waiting(const QByteArray& host) const;

    // A right to talk to one host, given up when it is destroyed or released.
    class Pass {
    public:
        Pass() = default;
        ~Pass() { release(); }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

        bool holds(const QByteArray& host) const { return m_gate && m_host == host; }
        void release();
        // Waits until `delayMs` have passed since the previous request to the host, of any fetch,
        // and counts this one. False when `cancel` fired during the wait.
        bool pace(int delayMs, const CancelToken& cancel);

    private:
        friend class HostGate;
        HostGate* m_gate = nullptr;
        QByteArray m_host;
        bool m_counted = false;  // holds one of the host's places
        bool m_paced = false;    // has set when the host's next request may go
    };

private:
    using Clock = std::chrono::steady_clock;
    struct Host {
        int holding = 0;
        std::deque<quint64> queue;
        Clock::time_point notBefore{};
    };

    HostGate() = default;
    void leave(const QByteArray& host, bool counted);
    Clock::time_point reserveRequest(const QByteArray& host, int delayMs);
    void forgetIfIdle(std::map<QByteArray, Host>::iterator host);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<QByteArray, Host> m_hosts;
    quint64 m_nextTicket = 0;
    quint64 m_leaves = 0;
};
