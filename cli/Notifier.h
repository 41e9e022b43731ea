#pragma once

#include "model/Records.h"

#include <QString>

#include <vector>

class WebsiteTree;

// A desktop notification, as the freedesktop.org notification service shows it.
class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;
    // Shows one notification; the body may hold simple markup. Empty when the service took it,
    // otherwise why not, for a person.
    virtual QString notify(const QString& summary, const QString& body) = 0;
};

// org.freedesktop.Notifications on the session bus.
class DBusNotifier : public DesktopNotifier {
public:
    QString notify(const QString& summary, const QString& body) override;
};

struct Notification {
    QString summary;
    QString body;
};

// The notification for the links lost in a run: how many, then a line for each of the first
// MaxListed ("website: page"), then how many more. The texts are escaped for the body's markup.
Notification LostLinksNotification(const std::vector<LinkRecord>& lost, const WebsiteTree& websites);

// Notifies of the lost links when there are any. Empty when there was nothing to say or it was
// shown, otherwise why it was not.
QString NotifyLostLinks(DesktopNotifier& notifier, const std::vector<LinkRecord>& lost, const WebsiteTree& websites);
