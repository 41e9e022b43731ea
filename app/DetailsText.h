#pragma once

#include "model/Records.h"

#include <QString>
#include <QStringList>

// What the details pane shows for one link: the verdict of its latest check and what that check
// found out beside it, as HTML for the pane and as plain text for the clipboard.
//
// Everything here came from a partner's server, so every text is escaped and decoded as UTF-8
// (a byte that is not valid UTF-8 shows as a replacement character), and only http and https
// addresses become links. A link's href is "link:N", N indexing `urls`, so that no address has
// to survive the HTML on its way back.
struct DetailsText {
    QString html;
    QString plain;
    QStringList urls;
};

DetailsText DescribeCheck(const rMonitorInfo& link);

// Whether an address may be handed to the browser: http or https, written out.
bool IsHttpAddress(const QString& address);
