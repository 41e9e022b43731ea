#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;

// The loopback address a test server listens on: 127.0.0.1 or ::1.
enum class Loopback { V4, V6 };
// Whether this machine can listen on ::1.
bool Ipv6LoopbackAvailable();

// What the server does on one connection, step by step. The connection closes after the last step.
class ServerScript {
public:
    enum class Kind { ReadRequest, Send, Delay, SendEndless, StartTls, HoldOpen, AwaitRelease, Reset };
    struct Step {
        Kind kind;
        QByteArray data;
        int ms = 0;
    };

    // Reads one request head (up to the empty line) and records its exact bytes.
    ServerScript& readRequest();
    ServerScript& send(QByteArray bytes);
    ServerScript& delay(int ms);
    // Sends `piece` again and again until the client goes away (at most 256 MiB).
    ServerScript& sendEndless(QByteArray piece = QByteArray(16384, 'x'));
    // Runs a TLS handshake as the server; later steps go through TLS.
    ServerScript& startTls();
    // Keeps the connection open until the client closes it.
    ServerScript& holdOpen();
    // Waits until the test calls ScriptedServer::release().
    ServerScript& awaitRelease();
    // Ends the connection with a reset instead of an orderly close.
    ServerScript& reset();

    // A connection that reads one request and sends `response`.
    static ServerScript answer(QByteArray response);

    std::vector<Step> steps;
};

// A server on 127.0.0.1 (or ::1) with a port of its own, in this process. Each accepted connection
// plays the next script added, in order; a connection beyond the scripts is closed at once. It
// records the exact bytes of every request, in the order they arrive.
class ScriptedServer {
public:
    // port 0 takes a free one; a taken port throws.
    explicit ScriptedServer(Loopback address = Loopback::V4, quint16 port = 0);
    // certPem and keyPem: the identity that startTls() presents.
    ScriptedServer(const QByteArray& certPem, const QByteArray& keyPem);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    quint16 port() const { return m_port; }
    // "127.0.0.1:port" or "[::1]:port"
    QByteArray authority() const;
    // "http://" and the authority, followed by path.
    QByteArray url(QByteArrayView path = "/") const;

    void add(ServerScript script);
    void answer(QByteArray response) { add(ServerScript::answer(std::move(response))); }

    QList<QByteArray> requests() const;
    int connections() const { return m_accepted.load(); }
    // The most requests that were read and not yet answered at any one moment. A request counts
    // until the first byte of its answer is about to go out, so it is always still waiting then.
    int maxPendingRequests() const { return m_maxPending.load(); }
    int pendingRequests() const { return m_pending.load(); }

    // Lets every connection waiting in awaitRelease(), and every later one, go on.
    void release();

private:
    void acceptLoop();
    void serve(int fd, ServerScript script);
    bool waitFor(int ms);

    int m_listener = -1;
    Loopback m_address;
    quint16 m_port = 0;
    SSL_CTX* m_tls = nullptr;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_accepted{0};
    std::atomic<int> m_pending{0};
    std::atomic<int> m_maxPending{0};
    bool m_released = false;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    std::vector<ServerScript> m_scripts;
    std::size_t m_nextScript = 0;
    QList<QByteArray> m_requests;
    std::vector<int> m_open;
    std::vector<std::thread> m_threads;
    std::thread m_acceptor;
};

// A listener whose accept queue is full and that never accepts: a connect to it neither succeeds
// nor fails, which is what a connect time-out needs.
class UnresponsiveListener {
public:
    // port 0 takes a free one; a taken port throws.
    explicit UnresponsiveListener(Loopback address = Loopback::V4, quint16 port = 0);
    ~UnresponsiveListener();
    quint16 port() const { return m_port; }

private:
    int m_listener = -1;
    std::vector<int> m_fillers;
    quint16 m_port = 0;
};
