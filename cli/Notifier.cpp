#include "cli/Notifier.h"

#include "model/WebsiteTree.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QStringList>
#include <QVariantMap>

namespace {

constexpr qsizetype MaxListed = 10;
// A notification server that hangs must not keep a scheduled run from ending.
constexpr int NotifyTimeoutMs = 10000;

}  // namespace

QString DBusNotifier::notify(const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        const QString why = bus.lastError().message();
        return why.isEmpty() ? QStringLiteral("no session bus") : QStringLiteral("no session bus (%1)").arg(why);
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Quorvane") << 0u << QStringLiteral("quorvane") << summary << body << QStringList()
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("quorvane")}} << -1;
    const QDBusMessage reply = bus.call(call, QDBus::Block, NotifyTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    return {};
}

Notification LostLinksNotification(const std::vector<LinkRecord>& lost, const WebsiteTree& websites)
{
    const qsizetype count = qsizetype(lost.size());
    Notification note;
    note.summary =
        count == 1 ? QStringLiteral("1 inbound link lost") : QStringLiteral("%1 inbound links lost").arg(count);
    QStringList lines;
    for (qsizetype i = 0; i < count && i < MaxListed; ++i) {
        const rMonitorInfo& link = *lost[std::size_t(i)];
        lines.append(QString::fromUtf8(websites.WebsiteNameById(link.SiteId)).toHtmlEscaped() + QStringLiteral(": ") +
                     QString::fromUtf8(link.PageUrl).toHtmlEscaped());
    }
    if (count > MaxListed)
        lines.append(QStringLiteral("and %1 more").arg(count - MaxListed));
    note.body = lines.join(u'\n');
    return note;
}

QString NotifyLostLinks(DesktopNotifier& notifier, const std::vector<LinkRecord>& lost, const WebsiteTree& websites)
{
    if (lost.empty())
        return {};
    const Notification note = LostLinksNotification(lost, websites);
    return notifier.notify(note.summary, note.body);
}
