#include "EpollPageServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unordered_map>

namespace {

struct Outgoing {
    QByteArray bytes;
    qsizetype sent = 0;
};

// The target of "GET <target> HTTP/1.1".
QByteArrayView RequestTarget(const std::string& request)
{
    const std::size_t start = request.find(' ');
    const std::size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
    if (end == std::string::npos)
        return {};
    return QByteArrayView(request.data() + start + 1, static_cast<qsizetype>(end - start - 1));
}

// The child's loop. Ends when the parent closes `control` or the lifetime passes.
[[noreturn]] void Serve(int listener, int control, const EpollPageServer::HeadResponder& respond, int lifetimeSeconds)
{
    const int epoll = ::epoll_create1(0);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = listener;
    ::epoll_ctl(epoll, EPOLL_CTL_ADD, listener, &event);
    event.data.fd = control;
    ::epoll_ctl(epoll, EPOLL_CTL_ADD, control, &event);
    std::unordered_map<int, std::string> requests;
    std::unordered_map<int, Outgoing> answers;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(lifetimeSeconds);
    epoll_event events[256];
    char buffer[4096];
    const auto finish = [&](int fd) {
        requests.erase(fd);
        answers.erase(fd);
        ::close(fd);  // closing also removes it from the epoll set
    };
    const auto push = [&](int fd) {
        Outgoing& out = answers[fd];
        while (out.sent < out.bytes.size()) {
            const ssize_t n = ::send(fd, out.bytes.constData() + out.sent,
                                     static_cast<std::size_t>(out.bytes.size() - out.sent), MSG_NOSIGNAL);
            if (n < 0 && errno == EAGAIN) {
                epoll_event more{};
                more.events = EPOLLOUT;
                more.data.fd = fd;
                ::epoll_ctl(epoll, EPOLL_CTL_MOD, fd, &more);
                return;
            }
            if (n <= 0)
                break;
            out.sent += n;
        }
        finish(fd);
    };
    while (std::chrono::steady_clock::now() < end) {
        const int n = ::epoll_wait(epoll, events, 256, 1000);
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == control)
                ::_exit(0);
            if (fd == listener) {
                for (;;) {
                    const int client = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                    if (client < 0)
                        break;
                    epoll_event add{};
                    add.events = EPOLLIN;
                    add.data.fd = client;
                    ::epoll_ctl(epoll, EPOLL_CTL_ADD, client, &add);
                }
                continue;
            }
            if (answers.count(fd)) {
                push(fd);
                continue;
            }
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EAGAIN)
                continue;
            std::string& request = requests[fd];
            if (got > 0)
                request.append(buffer, static_cast<std::size_t>(got));
            if (got > 0 && request.find("\r\n\r\n") == std::string::npos && request.size() < 65536)
                continue;
            if (got <= 0) {
                finish(fd);
                continue;
            }
            answers[fd].bytes =
                respond(RequestTarget(request), QByteArrayView(request.data(), static_cast<qsizetype>(request.size())));
            push(fd);
        }
    }
    ::_exit(0);
}

}  // namespace

EpollPageServer::EpollPageServer(Responder respond, int lifetimeSeconds)
    : EpollPageServer(HeadResponder([respond = std::move(respond)](QByteArrayView target, QByteArrayView) {
                          return respond(target);
                      }),
                      lifetimeSeconds)
{
}

EpollPageServer::EpollPageServer(HeadResponder respond, int lifetimeSeconds)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 4096) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::perror("listen");
        std::exit(1);
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        std::exit(1);
    std::fflush(nullptr);
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(pipeFds[1]);
        Serve(listener, pipeFds[0], respond, lifetimeSeconds);
    }
    ::close(pipeFds[0]);
    ::close(listener);
    m_control = pipeFds[1];
    m_port = ntohs(address.sin_port);
}

EpollPageServer::~EpollPageServer()
{
    ::close(m_control);
    ::waitpid(m_pid, nullptr, 0);
}

QByteArray EpollPageServer::origin() const
{
    return "http://127.0.0.1:" + QByteArray::number(m_port);
}
