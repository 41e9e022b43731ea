#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>
#include <vector>

// Why a page fetch failed. The worker treats every kind alike; the kind and the reason exist so
// that a check can say why it failed.
enum class FetchError {
    None,
    InvalidUrl,      // no "://", no host, a bad port, a control character, a redirect to another scheme
    ResolveFailed,   // the host name has no address
    ConnectFailed,   // refused, unreachable, reset while connecting
    ConnectTimeout,  // not connected within the connect time-out
    ProxyFailed,     // the proxy refused the tunnel or the proxy setting is unusable
    TlsFailed,       // handshake, certificate chain or host name
    SendFailed,
    ReadFailed,        // the connection broke with a network error, or the answer cannot be read
    ReadTimeout,       // no byte within the read time-out, or the fetch's total time is up
    ConnectionClosed,  // closed where the response cannot end (status line, chunked body)
    LineTooLong,       // a status or header line over the limit, or a header section over its bound
    HttpStatus,        // an error status, or a 2xx whose header section was cut off
    Aborted,           // abort() was called
};

// One redirect a fetch followed: the address that answered with it, and its status.
struct RedirectHop {
    QByteArray url;
    int status = 0;

    bool operator==(const RedirectHop&) const = default;
};

// One try of a whole fetch. A fetch that fails for a passing reason is tried once more.
struct FetchAttempt {
    FetchError error = FetchError::None;
    int status = 0;        // the last status code read, as FetchResult::status
    QString reason;        // empty when the attempt succeeded
    qint64 waitMs = 0;     // the pause before this attempt; 0 for the first
    qint64 elapsedMs = 0;  // from the start of this attempt to its end
    qint64 bytesReceived = 0;

    bool operator==(const FetchAttempt&) const = default;
};

// What a fetch or one of its steps gives: the body, or a failure kind with the reason.
//
// A whole fetch (HttpClient::get) also tells how it went, on success and on failure alike: the
// address of its last request, the redirects before it, the time it took, the bytes that arrived,
// the headers of the last response and every attempt. When a fetch was tried twice, everything but
// `attempts`, `elapsedMs` and `bytesReceived` is the last attempt's. The steps inside the client
// leave these empty.
struct FetchResult {
    FetchError error = FetchError::None;
    int status = 0;      // the last status code read, 0 when none was; -1 when it was not a number
    QByteArray body;     // empty on failure; decoded when the server compressed it
    QString text;        // why it failed, as a person reads it ("Connection refused"); empty on success
    bool reset = false;  // the failure was the peer resetting the connection

    QByteArray finalUrl;                               // the last address requested, or tried
    std::vector<RedirectHop> redirects;                // in the order followed
    qint64 elapsedMs = 0;                              // from the start of the fetch to its end, pauses included
    qint64 bytesReceived = 0;                          // every byte read from the network, heads included
    QList<std::pair<QByteArray, QByteArray>> headers;  // of the last response, names as sent
    std::vector<FetchAttempt> attempts;                // in order; one unless the fetch was tried again

    // The first header of that name in `headers` (compared without regard to case), or an empty text.
    QByteArray header(QByteArrayView name) const;

    explicit operator bool() const { return error == FetchError::None; }

    static FetchResult failure(FetchError error, QString text, int status = 0);
};

// The kind's stable name for reports and the link details: "invalid-url", "resolve", "connect",
// "connect-timeout", "proxy", "tls", "send", "read", "read-timeout", "closed", "too-long",
// "http-status", "aborted"; "none" for success.
const char* FetchErrorKind(FetchError error);
