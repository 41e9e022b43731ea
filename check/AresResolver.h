#pragma once

#include "check/Resolver.h"

// Name look-ups with c-ares: A and AAAA records at once, the hosts file first, on the caller's thread
// in a poll() loop that the fetch's CancelToken wakes, so that abort(), Stop and shut-down end a
// look-up at once. Each look-up has a channel of its own: c-ares channels are not shared between
// threads.
class AresResolver : public Resolver {
public:
    // `servers`: name servers as c-ares reads them ("127.0.0.1:5353,[::1]:53"); empty for the
    // system's configuration.
    explicit AresResolver(QByteArray servers = {});

    ResolveResult resolve(const QByteArray& host, CancelToken& cancel) override;

private:
    QByteArray m_servers;
};
