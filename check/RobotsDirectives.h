#pragma once

#include <QByteArrayView>

// What a page tells search engines about itself, from its robots meta elements and its
// X-Robots-Tag headers. Every source adds to what the others said: the union holds.
struct RobotsDirectives {
    bool noindex = false;
    bool nofollow = false;

    // The content of <meta name="robots"> or <meta name="googlebot">: directives separated by commas,
    // compared without regard to case; "none" means both noindex and nofollow.
    void addMeta(QByteArrayView content);

    // One X-Robots-Tag header. A directive may be preceded by a crawler's name and a colon
    // ("googlebot: nofollow"); the name holds for the directives after it, and only those for all
    // crawlers or for googlebot count.
    void addHeader(QByteArrayView value);
};
