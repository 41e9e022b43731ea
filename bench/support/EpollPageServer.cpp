#include "EpollPageServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <netinet/in.h>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

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

using Clock = std::chrono::steady_clock;

// The child's loop. Ends when the parent closes `control` or the lifetime passes. A delay the parent
// writes to `control` (milliseconds, an int) applies to the requests that come in after it.
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
    const auto end = Clock::now() + std::chrono::seconds(lifetimeSeconds);
    std::chrono::milliseconds delay{0};
    // Answers held back until they are due, earliest first; their connections stay open and unread.
    std::deque<std::pair<Clock::time_point, int>> held;
    std::unordered_set<int> holding;
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
    while (Clock::now() < end) {
        int timeout = 1000;
        if (!held.empty()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(held.front().first - Clock::now());
            timeout = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(wait.count(), 0, timeout));
        }
        const int n = ::epoll_wait(epoll, events, 256, timeout);
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == control) {
                int milliseconds = 0;
                if (::read(control, &milliseconds, sizeof milliseconds) != sizeof milliseconds)
                    ::_exit(0);
                delay = std::chrono::milliseconds(milliseconds);
                const char taken = 1;
                if (::write(control, &taken, 1) != 1)
                    ::_exit(0);
                continue;
            }
            // A connection whose answer waits may hang up meanwhile; it is closed when its time comes.
            if (holding.count(fd))
                continue;
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
            if (delay.count() > 0) {
                epoll_event quiet{};
                quiet.data.fd = fd;
                ::epoll_ctl(epoll, EPOLL_CTL_MOD, fd, &quiet);
                holding.insert(fd);
                held.emplace_back(Clock::now() + delay, fd);
                continue;
            }
            push(fd);
        }
        while (!held.empty() && held.front().first <= Clock::now()) {
            const int fd = held.front().second;
            held.pop_front();
            holding.erase(fd);
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
    // Both ways: delays go to the child, and it answers that it took them.
    int controlFds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, controlFds) != 0)
        std::exit(1);
    std::fflush(nullptr);
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(controlFds[1]);
        Serve(listener, controlFds[0], respond, lifetimeSeconds);
    }
    ::close(controlFds[0]);
    ::close(listener);
    m_control = controlFds[1];
    m_port = ntohs(address.sin_port);
}

EpollPageServer::~EpollPageServer()
{
    ::close(m_control);
    ::waitpid(m_pid, nullptr, 0);
}

void EpollPageServer::setAnswerDelay(std::chrono::milliseconds delay)
{
    const int milliseconds = static_cast<int>(delay.count());
    char taken = 0;
    if (::write(m_control, &milliseconds, sizeof milliseconds) != sizeof milliseconds ||
        ::read(m_control, &taken, 1) != 1) {
        std::perror("page server");
        std::exit(1);
    }
}

QByteArray EpollPageServer::origin() const
{
    return "http://127.0.0.1:" + QByteArray::number(m_port);
}
