#include "check/Resolver.h"

#include "check/AresResolver.h"

#include <arpa/inet.h>
#include <cstring>
#include <mutex>
#include <netinet/in.h>

namespace {

std::mutex g_mutex;
std::shared_ptr<Resolver> g_installed;

}  // namespace

std::optional<IpAddress> IpAddress::parse(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 45)
        return std::nullopt;
    const QByteArray terminated = text.toByteArray();
    IpAddress address;
    if (::inet_pton(AF_INET, terminated.constData(), address.bytes.data()) == 1) {
        address.family = AF_INET;
        return address;
    }
    if (::inet_pton(AF_INET6, terminated.constData(), address.bytes.data()) == 1) {
        address.family = AF_INET6;
        return address;
    }
    return std::nullopt;
}

QByteArray IpAddress::toText() const
{
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(family, bytes.data(), text, sizeof text);
    return QByteArray(text);
}

socklen_t IpAddress::toSockaddr(quint16 port, sockaddr_storage& out) const
{
    std::memset(&out, 0, sizeof out);
    if (family == AF_INET6) {
        auto* six = reinterpret_cast<sockaddr_in6*>(&out);
        six->sin6_family = AF_INET6;
        six->sin6_port = htons(port);
        std::memcpy(&six->sin6_addr, bytes.data(), 16);
        return sizeof(sockaddr_in6);
    }
    auto* four = reinterpret_cast<sockaddr_in*>(&out);
    four->sin_family = AF_INET;
    four->sin_port = htons(port);
    std::memcpy(&four->sin_addr, bytes.data(), 4);
    return sizeof(sockaddr_in);
}

std::shared_ptr<Resolver> CurrentResolver()
{
    std::lock_guard lock(g_mutex);
    if (!g_installed)
        g_installed = std::make_shared<AresResolver>();
    return g_installed;
}

ScopedResolver::ScopedResolver(std::shared_ptr<Resolver> resolver)
{
    std::lock_guard lock(g_mutex);
    m_previous = std::exchange(g_installed, std::move(resolver));
}

ScopedResolver::~ScopedResolver()
{
    std::lock_guard lock(g_mutex);
    g_installed = std::move(m_previous);
}
