#pragma once

#include "check/Resolver.h"

#include <vector>

class CancelToken;

// How long a connection attempt has before the next address is tried beside it (RFC 8305).
inline constexpr int ConnectionAttemptDelayMs = 250;

// The order in which addresses are tried: IPv6 first, then the families alternate, each keeping
// the order the look-up gave it.
std::vector<IpAddress> InterleaveFamilies(const std::vector<IpAddress>& addresses);

// Connects to the first of `addresses` (in that order) that accepts: the next attempt starts when
// the one before has failed or after ConnectionAttemptDelayMs, while the earlier ones go on, and
// the first to connect wins. timeoutMs bounds the whole race (0: the operating system's bound).
// Returns a connected, blocking socket, or -1 with `failure` set.
int ConnectFirst(const std::vector<IpAddress>& addresses, quint16 port, int timeoutMs, const CancelToken& cancel,
                 FetchResult& failure);
