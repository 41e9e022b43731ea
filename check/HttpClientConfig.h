#pragma once

#include "model/ProductInfo.h"

#include <QByteArray>

#include <memory>

class Resolver;

// The product's home page, named in the User-Agent of every request.
inline constexpr auto& HomePageUrl = ProductHomePage;

// "Quorvane/3.1 (+" followed by the home page and ")".
QByteArray DefaultUserAgent();

// How one client fetches. A plain value: the worker fills it from the settings file and hands it to
// a new client for every check. The defaults are a bare client's: the settings switch on the
// politeness, compression, retry and total time that checks use.
struct HttpClientConfig {
    bool followRedirects = true;
    int connectTimeoutMs = 0;   // 0: none of the client's own (the operating system's applies)
    int readTimeoutMs = 30000;  // the longest wait for any byte of a response; 0: none
    int totalTimeoutMs = 0;     // the longest a whole fetch may take, redirects and retry included; 0: none
    QByteArray userAgent = DefaultUserAgent();
    bool acceptCompression = false;  // ask for gzip and deflate (a compressed page is decoded either way)

    QByteArray proxyHost;  // empty: connect directly; an IPv6 literal with or without brackets
    int proxyPort = 80;
    bool proxyBasicAuth = false;  // send Proxy-Authorization on every request, even to the page's server
    QByteArray proxyUser;
    QByteArray proxyPassword;

    int perHostLimit = 0;  // fetches of the process talking to one host at once; 0: no limit
    int hostDelayMs = 0;   // the least time between two requests to one host, from any fetch

    // One more try after a passing fault (a connect or read time-out, a reset, 429, 502, 503, 504).
    bool retry = false;
    int retryPauseMs = 1000;          // the pause before it, unless the server asks for another
    int longestRetryAfterMs = 30000;  // a longer Retry-After fails at once

    // Name look-ups; null for the one installed (CurrentResolver()).
    std::shared_ptr<Resolver> resolver;

    // A certificate (PEM) trusted beside the system's store; tests use it for their own authority.
    QByteArray extraTrustAnchorPem;

    // How long the body of a followed redirect and of an error response may take to drain.
    int redirectDrainMs = 4000;
    int errorDrainMs = 2000;
};
