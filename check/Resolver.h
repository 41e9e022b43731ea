#pragma once

#include "check/FetchResult.h"

#include <QByteArray>

#include <array>
#include <memory>
#include <optional>
#include <sys/socket.h>
#include <vector>

class CancelToken;

// An IPv4 or IPv6 address.
struct IpAddress {
    int family = AF_INET;  // AF_INET or AF_INET6
    std::array<unsigned char, 16> bytes{};

    // A literal address: "192.0.2.1" or "2001:db8::1" (no brackets, no zone); nothing otherwise.
    static std::optional<IpAddress> parse(QByteArrayView text);
    QByteArray toText() const;
    // The socket address of this address and `port`; returns its length.
    socklen_t toSockaddr(quint16 port, sockaddr_storage& out) const;

    bool operator==(const IpAddress&) const = default;
};

struct ResolveResult {
    std::vector<IpAddress> addresses;  // IPv6 and IPv4 alike, in the order the look-up gave them
    FetchResult failure;               // ResolveFailed or Aborted when there are none
};

// Name look-ups, behind an interface so that tests can give a host any addresses they like. A
// look-up blocks its caller and ends at once when `cancel` fires (FetchError::Aborted).
class Resolver {
public:
    virtual ~Resolver() = default;
    // `host` is a name, never a literal address.
    virtual ResolveResult resolve(const QByteArray& host, CancelToken& cancel) = 0;
};

// The resolver fetches use when their configuration names none: the system's (c-ares), unless a
// ScopedResolver has installed another. Safe from any thread.
std::shared_ptr<Resolver> CurrentResolver();

// Installs a resolver for as long as it lives; the previous one comes back afterwards. Fetches that
// took it keep it alive until they end.
class ScopedResolver {
public:
    explicit ScopedResolver(std::shared_ptr<Resolver> resolver);
    ~ScopedResolver();
    ScopedResolver(const ScopedResolver&) = delete;
    ScopedResolver& operator=(const ScopedResolver&) = delete;

private:
    std::shared_ptr<Resolver> m_previous;
};
