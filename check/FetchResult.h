#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>
#include <vector>

// Why a page fetch failed. The worker treats every kind alike; the kind and text exist so that a
// check can say why it failed.
enum class FetchError {
    None,
    InvalidUrl,      // no "://", no host, a bad port, a control character
    ResolveFailed,   // the host name has no IPv4 address
    ConnectFailed,   // refused, unreachable, reset while connecting
    ConnectTimeout,  // not connected within the connect time-out
    ProxyFailed,     // the proxy refused the tunnel or the proxy setting is unusable
    TlsFailed,       // handshake, certificate chain or host name
    SendFailed,
    ReadFailed,        // the connection broke with a network error
    ReadTimeout,       // no byte within the read time-out
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

// What a fetch or one of its steps gives: the body, or a failure kind with a short text.
//
// A whole fetch (HttpClient::get) also tells how it went, on success and on failure alike: the
// address of its last request, the redirects before it, the time it took, the bytes that arrived
// and the headers of the last response. The steps inside the client leave these empty.
struct FetchResult {
    FetchError error = FetchError::None;
    int status = 0;   // the last status code read, 0 when none was; -1 when it was not a number
    QByteArray body;  // empty on failure
    QString text;     // short description of the failure, empty on success

    QByteArray finalUrl;                               // the last address requested, or tried
    std::vector<RedirectHop> redirects;                // in the order followed
    qint64 elapsedMs = 0;                              // from the start of the fetch to its end
    qint64 bytesReceived = 0;                          // every byte read from the network, heads included
    QList<std::pair<QByteArray, QByteArray>> headers;  // of the last response, names as sent

    // The first header of that name in `headers` (compared without regard to case), or an empty text.
    QByteArray header(QByteArrayView name) const;

    explicit operator bool() const { return error == FetchError::None; }

    static FetchResult failure(FetchError error, QString text, int status = 0);
};

const char* FetchErrorName(FetchError error);
