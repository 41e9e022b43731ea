#pragma once

#include <QByteArray>

// A certificate and its private key, both PEM.
struct TestIdentity {
    QByteArray certPem;
    QByteArray keyPem;
};

// A certificate authority made on the spot, so TLS tests need no files and no network.
class TestAuthority {
public:
    explicit TestAuthority(const QByteArray& name = "Quorvane Test CA");

    const QByteArray& certPem() const { return m_ca.certPem; }
    // A server certificate signed by this authority for `subjectAltName`, e.g. "IP:127.0.0.1" or
    // "DNS:www.test".
    TestIdentity issue(const QByteArray& subjectAltName) const;

private:
    TestIdentity m_ca;
};
