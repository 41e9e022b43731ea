#pragma once

#include <QByteArray>

// The product's home page, named in the User-Agent of every request.
inline constexpr char HomePageUrl[] = "https://quorvane.example/";

// "Quorvane/3.1 (+" followed by the home page and ")".
QByteArray DefaultUserAgent();

// How one client fetches. A plain value: the worker fills it from the settings file and hands it to
// a new client for every check.
struct HttpClientConfig {
    bool followRedirects = true;
    int connectTimeoutMs = 0;   // 0: none of the client's own (the operating system's applies)
    int readTimeoutMs = 30000;  // the longest wait for any byte of a response; 0: none
    QByteArray userAgent = DefaultUserAgent();

    QByteArray proxyHost;  // empty: connect directly
    int proxyPort = 80;
    bool proxyBasicAuth = false;  // send Proxy-Authorization on every request, even to the page's server
    QByteArray proxyUser;
    QByteArray proxyPassword;

    // A certificate (PEM) trusted beside the system's store; tests use it for their own authority.
    QByteArray extraTrustAnchorPem;

    // How long the body of a followed redirect and of an error response may take to drain.
    int redirectDrainMs = 4000;
    int errorDrainMs = 2000;
};
