#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <chrono>
#include <functional>
#include <sys/types.h>

// A page server for benchmarks: a single-threaded epoll loop in a child process on 127.0.0.1 with a
// port of its own, so that its work never counts towards the process measured. Each connection
// carries one request; the answer is what the responder gives for the request target, and the
// connection closes after it, at once or, for benchmarks of pages that take a while, a set time after
// the request came in. The server ends with this object, or after its lifetime in any case.
class EpollPageServer {
public:
    // Runs in the child: the request target ("/path?query") to the whole response.
    using Responder = std::function<QByteArray(QByteArrayView target)>;
    // The same, also given the whole request head, for answers that depend on its headers.
    using HeadResponder = std::function<QByteArray(QByteArrayView target, QByteArrayView head)>;

    explicit EpollPageServer(Responder respond, int lifetimeSeconds = 600);
    explicit EpollPageServer(HeadResponder respond, int lifetimeSeconds = 600);
    ~EpollPageServer();
    EpollPageServer(const EpollPageServer&) = delete;
    EpollPageServer& operator=(const EpollPageServer&) = delete;

    quint16 port() const { return m_port; }
    // Answers each request that comes in from now on `delay` after it has come in, as a distant
    // server would. Returns once the server has taken the new delay.
    void setAnswerDelay(std::chrono::milliseconds delay);
    // "http://127.0.0.1:port"
    QByteArray origin() const;

private:
    pid_t m_pid = -1;
    int m_control = -1;
    quint16 m_port = 0;
};
