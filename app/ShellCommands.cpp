#include "app/ShellCommands.h"

#include "dialogs/AnsiText.h"
#include "dialogs/Shell.h"

#include <QRegularExpression>

QString MailtoAddress(const rMonitorInfo& link)
{
    return QStringLiteral("mailto:") + FromAnsi(link.Email) + QStringLiteral("?body=Dear Mr.") +
        FromAnsi(link.LastName);
}

bool IsWebAddress(const QString& address)
{
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):(.*)$"),
                                           QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression port(QStringLiteral("^[0-9]*(/.*)?$"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return false;
    const QRegularExpressionMatch match = scheme.match(trimmed);
    if (!match.hasMatch())
        return true;
    const QString name = match.captured(1).toLower();
    if (name == u"http" || name == u"https")
        return true;
    // "example.com:8080/page" names a host and a port, not a scheme.
    return !match.captured(2).startsWith(u'/') && port.match(match.captured(2)).hasMatch();
}

void SendEmailTo(const std::vector<LinkRecord>& links)
{
    for (const LinkRecord& link : links)
        shell().openMail(MailtoAddress(*link));
}

void OpenPagesOf(const std::vector<LinkRecord>& links)
{
    for (const LinkRecord& link : links) {
        const QString page = FromAnsi(link->PageUrl);
        if (IsWebAddress(page))
            shell().openUrl(page);
    }
}
