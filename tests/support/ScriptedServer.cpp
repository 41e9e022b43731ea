#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

// The loopback socket address of `family` and `port`; returns its length.
socklen_t LoopbackAddress(Loopback family, quint16 port, sockaddr_storage& out)
{
    out = {};
    if (family == Loopback::V6) {
        auto* six = reinterpret_cast<sockaddr_in6*>(&out);
        six->sin6_family = AF_INET6;
        six->sin6_addr = in6addr_loopback;
        six->sin6_port = htons(port);
        return sizeof(sockaddr_in6);
    }
    auto* four = reinterpret_cast<sockaddr_in*>(&out);
    four->sin_family = AF_INET;
    four->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    four->sin_port = htons(port);
    return sizeof(sockaddr_in);
}

// port 0 takes a free one, and `port` tells which.
int LoopbackListener(Loopback family, int backlog, quint16& port)
{
    const int fd = ::socket(family == Loopback::V6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    if (fd >= 0 && family == Loopback::V6)
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    sockaddr_storage address;
    socklen_t size = LoopbackAddress(family, port, address);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error(family == Loopback::V6 ? "cannot listen on ::1" : "cannot listen on 127.0.0.1");
    }
    port = ntohs(family == Loopback::V6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                        : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return fd;
}

// One connection's byte channel: the plain socket, or TLS on it once startTls() ran.
struct Channel {
    int fd;
    SSL* ssl = nullptr;

    ~Channel() { SSL_free(ssl); }

    ssize_t read(char* data, std::size_t size)
    {
        if (ssl) {
            std::size_t got = 0;
            return SSL_read_ex(ssl, data, size, &got) == 1 ? static_cast<ssize_t>(got) : 0;
        }
        return ::recv(fd, data, size, 0);
    }
    bool write(const QByteArray& bytes)
    {
        if (ssl) {
            std::size_t done = 0;
            return bytes.isEmpty() ||
                SSL_write_ex(ssl, bytes.constData(), static_cast<std::size_t>(bytes.size()), &done) == 1;
        }
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n =
                ::send(fd, bytes.constData() + sent, static_cast<std::size_t>(bytes.size() - sent), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    }
};

}  // namespace

bool Ipv6LoopbackAvailable()
{
    try {
        quint16 port = 0;
        ::close(LoopbackListener(Loopback::V6, 1, port));
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

ServerScript& ServerScript::readRequest()
{
    steps.push_back({Kind::ReadRequest, {}, 0});
    return *this;
}

ServerScript& ServerScript::send(QByteArray bytes)
{
    steps.push_back({Kind::Send, std::move(bytes), 0});
    return *this;
}

ServerScript& ServerScript::delay(int ms)
{
    steps.push_back({Kind::Delay, {}, ms});
    return *this;
}

ServerScript& ServerScript::sendEndless(QByteArray piece)
{
    steps.push_back({Kind::SendEndless, std::move(piece), 0});
    return *this;
}

ServerScript& ServerScript::startTls()
{
    steps.push_back({Kind::StartTls, {}, 0});
    return *this;
}

ServerScript& ServerScript::holdOpen()
{
    steps.push_back({Kind::HoldOpen, {}, 0});
    return *this;
}

ServerScript& ServerScript::awaitRelease()
{
    steps.push_back({Kind::AwaitRelease, {}, 0});
    return *this;
}

ServerScript& ServerScript::reset()
{
    steps.push_back({Kind::Reset, {}, 0});
    return *this;
}

ServerScript ServerScript::answer(QByteArray response)
{
    ServerScript script;
    script.readRequest().send(std::move(response));
    return script;
}

ScriptedServer::ScriptedServer(Loopback address, quint16 port) : m_address(address), m_port(port)
{
    // The peer may close while we write; that must not end the test process.
    std::signal(SIGPIPE, SIG_IGN);
    m_listener = LoopbackListener(address, 64, m_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

ScriptedServer::ScriptedServer(const QByteArray& certPem, const QByteArray& keyPem) : ScriptedServer()
{
    m_tls = SSL_CTX_new(TLS_server_method());
    BIO* certBio = BIO_new_mem_buf(certPem.constData(), static_cast<int>(certPem.size()));
    BIO* keyBio = BIO_new_mem_buf(keyPem.constData(), static_cast<int>(keyPem.size()));
    X509* cert = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
    EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
    SSL_CTX_use_certificate(m_tls, cert);
    SSL_CTX_use_PrivateKey(m_tls, key);
    X509_free(cert);
    EVP_PKEY_free(key);
    BIO_free(certBio);
    BIO_free(keyBio);
}

ScriptedServer::~ScriptedServer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (const int fd : m_open)
            ::shutdown(fd, SHUT_RDWR);
    }
    m_stopped.notify_all();
    ::shutdown(m_listener, SHUT_RDWR);
    m_acceptor.join();
    for (std::thread& thread : m_threads)
        thread.join();
    ::close(m_listener);
    SSL_CTX_free(m_tls);
}

QByteArray ScriptedServer::authority() const
{
    return (m_address == Loopback::V6 ? "[::1]:" : "127.0.0.1:") + QByteArray::number(m_port);
}

QByteArray ScriptedServer::url(QByteArrayView path) const
{
    return "http://" + authority() + path.toByteArray();
}

void ScriptedServer::add(ServerScript script)
{
    std::lock_guard lock(m_mutex);
    m_scripts.push_back(std::move(script));
}

QList<QByteArray> ScriptedServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void ScriptedServer::release()
{
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
    }
    m_stopped.notify_all();
}

bool ScriptedServer::waitFor(int ms)
{
    std::unique_lock lock(m_mutex);
    return !m_stopped.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopping.load(); });
}

void ScriptedServer::acceptLoop()
{
    for (;;) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (m_stopping)
                return;
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        ++m_accepted;
        std::lock_guard lock(m_mutex);
        if (m_stopping || m_nextScript >= m_scripts.size()) {
            ::close(fd);
            continue;
        }
        m_open.push_back(fd);
        m_threads.emplace_back([this, fd, script = m_scripts[m_nextScript++]] { serve(fd, script); });
    }
}

void ScriptedServer::serve(int fd, ServerScript script)
{
    Channel channel{fd};
    QByteArray pending;  // bytes read past the end of the last request
    bool unanswered = false;
    const auto answering = [&] {
        if (std::exchange(unanswered, false))
            --m_pending;
    };
    for (const ServerScript::Step& step : script.steps) {
        if (m_stopping)
            break;
        bool ok = true;
        switch (step.kind) {
        case ServerScript::Kind::ReadRequest: {
            char buffer[4096];
            while (!pending.contains("\r\n\r\n")) {
                const ssize_t n = channel.read(buffer, sizeof buffer);
                if (n <= 0)
                    break;
                pending.append(buffer, n);
            }
            const qsizetype end = pending.indexOf("\r\n\r\n");
            const qsizetype size = end < 0 ? pending.size() : end + 4;
            if (size > 0) {
                std::lock_guard lock(m_mutex);
                m_requests.append(pending.first(size));
            }
            pending.remove(0, size);
            ok = end >= 0;
            if (ok && !unanswered) {
                unanswered = true;
                const int now = ++m_pending;
                for (int max = m_maxPending.load(); now > max && !m_maxPending.compare_exchange_weak(max, now);) {}
            }
            break;
        }
        case ServerScript::Kind::Send:
            answering();
            ok = channel.write(step.data);
            break;
        case ServerScript::Kind::Delay: ok = waitFor(step.ms); break;
        case ServerScript::Kind::SendEndless:
            answering();
            for (qsizetype sent = 0; ok && sent < (qsizetype(256) << 20) && !m_stopping; sent += step.data.size())
                ok = channel.write(step.data);
            break;
        case ServerScript::Kind::StartTls:
            channel.ssl = SSL_new(m_tls);
            SSL_set_fd(channel.ssl, fd);
            ok = SSL_accept(channel.ssl) == 1;
            break;
        case ServerScript::Kind::AwaitRelease: {
            std::unique_lock lock(m_mutex);
            m_stopped.wait(lock, [this] { return m_released || m_stopping.load(); });
            ok = !m_stopping;
            break;
        }
        case ServerScript::Kind::Reset: {
            // A linger time of zero makes the close send a reset.
            const linger abortive{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            ok = false;
            break;
        }
        case ServerScript::Kind::HoldOpen: {
            char buffer[4096];
            while (channel.read(buffer, sizeof buffer) > 0) {}
            break;
        }
        }
        if (!ok)
            break;
    }
    answering();
    if (channel.ssl)
        SSL_shutdown(channel.ssl);
    {
        std::lock_guard lock(m_mutex);
        std::erase(m_open, fd);
    }
    ::close(fd);
}

UnresponsiveListener::UnresponsiveListener(Loopback family, quint16 port) : m_port(port)
{
    m_listener = LoopbackListener(family, 0, m_port);
    sockaddr_storage address;
    const socklen_t size = LoopbackAddress(family, m_port, address);
    // With a backlog of 0 the queue holds one connection; a few more make sure it is full.
    for (int i = 0; i < 4; ++i) {
        const int fd =
            ::socket(family == Loopback::V6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), size);
        m_fillers.push_back(fd);
    }
    ::usleep(50 * 1000);
}

UnresponsiveListener::~UnresponsiveListener()
{
    for (const int fd : m_fillers)
        ::close(fd);
    ::close(m_listener);
}
