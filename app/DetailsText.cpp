#include "app/DetailsText.h"

#include "dialogs/AnsiText.h"
#include "model/LinkColumns.h"

#include <QLocale>

#include <algorithm>

namespace {

// Control characters would garble a line or the clipboard; in the evidence, line breaks and tabs
// are the page's own and stay.
QString Clean(QString text, bool keepLines = false)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 || u == 0x7f) && !(keepLines && (u == u'\n' || u == u'\t')))
            c = keepLines && u == u'\r' ? QChar(u'\n') : QChar(QChar::ReplacementCharacter);
    }
    return text;
}

QString Page(QByteArrayView bytes, bool keepLines = false)
{
    return Clean(QString::fromUtf8(bytes), keepLines);
}

QString Milliseconds(qint64 ms)
{
    return QStringLiteral("%1 ms").arg(QLocale().toString(ms));
}

// Builds the two texts side by side. Sections stand next to each other in the pane, each a table
// of labelled rows; the evidence goes under them, across the whole width.
class Builder {
public:
    void heading(const QString& title)
    {
        closeSection();
        m_section = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\"><tr><td colspan=\"2\">"
                                   "<b>%1</b></td></tr>")
                        .arg(title.toHtmlEscaped());
        m_plain += (m_plain.isEmpty() ? QString() : QStringLiteral("\n")) + title + u'\n';
    }

    void paragraph(const QString& text)
    {
        if (m_section.isEmpty()) {
            m_below += QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped());
        } else {
            m_section += QStringLiteral("<tr><td colspan=\"2\">%1</td></tr>").arg(text.toHtmlEscaped());
        }
        m_plain += text + u'\n';
    }

    void row(const QString& label, const QString& value) { rowHtml(label, value.toHtmlEscaped(), value); }

    // An address that opens in the browser when it is an http or https one, with a note after it.
    void address(const QString& label, const QString& url, const QString& note = {})
    {
        rowHtml(label, linkHtml(url) + noteHtml(note), note.isEmpty() ? url : url + u' ' + note);
    }

    // Several lines in one row, each an address with a note before it.
    void addresses(const QString& label, const QList<std::pair<QString, QString>>& lines)
    {
        QStringList html;
        QStringList plain;
        for (const auto& [url, note] : lines) {
            html.append(noteHtml(note, false) + linkHtml(url));
            plain.append(note + u' ' + url);
        }
        rowHtml(label, html.join(QStringLiteral("<br>")), plain.join(QStringLiteral("\n    ")));
    }

    void lines(const QString& label, const QStringList& lines)
    {
        QStringList html;
        for (const QString& line : lines)
            html.append(line.toHtmlEscaped());
        rowHtml(label, html.join(QStringLiteral("<br>")), lines.join(QStringLiteral("\n    ")));
    }

    // Page source, monospaced, with the part that shows the link or the address highlighted.
    void evidence(QByteArrayView source, int start, int length)
    {
        start = std::clamp<int>(start, 0, static_cast<int>(source.size()));
        length = std::clamp<int>(length, 0, static_cast<int>(source.size()) - start);
        const QString before = Page(source.first(start), true);
        const QString match = Page(source.sliced(start, length), true);
        const QString after = Page(source.sliced(start + length), true);
        m_below += QStringLiteral("<p><b>Evidence</b></p>"
                                  "<pre style=\"white-space:pre-wrap; background:#f4f6f8\">%1<span "
                                  "style=\"background-color:#ffe08a; font-weight:bold\">%2</span>%3</pre>")
                       .arg(before.toHtmlEscaped(), match.toHtmlEscaped(), after.toHtmlEscaped());
        m_plain += QStringLiteral("\nEvidence\n") + before + match + after + u'\n';
    }

    DetailsText finish()
    {
        closeSection();
        QString html;
        if (!m_sections.isEmpty()) {
            html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"0\"><tr>");
            for (const QString& section : m_sections)
                html += QStringLiteral("<td valign=\"top\" style=\"padding-right:28px\">%1</td>").arg(section);
            html += QStringLiteral("</tr></table>");
        }
        return {html + m_below, m_plain, m_urls};
    }

private:
    void rowHtml(const QString& label, const QString& html, const QString& plain)
    {
        m_section += QStringLiteral("<tr><td valign=\"top\" style=\"color:#5b6878; padding-right:12px\">%1</td>"
                                    "<td valign=\"top\">%2</td></tr>")
                         .arg(label.toHtmlEscaped(), html);
        m_plain += label + QStringLiteral(": ") + plain + u'\n';
    }

    QString linkHtml(const QString& url)
    {
        if (!IsHttpAddress(url))
            return url.toHtmlEscaped();
        m_urls.append(url);
        return QStringLiteral("<a href=\"link:%1\">%2</a>").arg(m_urls.size() - 1).arg(url.toHtmlEscaped());
    }

    static QString noteHtml(const QString& note, bool after = true)
    {
        if (note.isEmpty())
            return {};
        const QString html = QStringLiteral("<span style=\"color:#5b6878\">%1</span>").arg(note.toHtmlEscaped());
        return after ? u' ' + html : html + u' ';
    }

    void closeSection()
    {
        if (!m_section.isEmpty())
            m_sections.append(m_section + QStringLiteral("</table>"));
        m_section.clear();
    }

    QStringList m_sections;
    QString m_section;
    QString m_below;
    QString m_plain;
    QStringList m_urls;
};

QString StatusText(int status)
{
    return status > 0 ? QString::number(status) : QStringLiteral("none");
}

QString VerdictReason(const rMonitorInfo& link, const CheckDetails& details)
{
    const QString address = FromAnsi(link.SiteUrl);
    if (link.Status == lsConnectionError || !details.failure().isEmpty())
        return details.reason().isEmpty() ? QStringLiteral("The page could not be fetched") : details.reason();
    if (address.isEmpty())
        return QStringLiteral("The link's website has no address to look for");
    if (link.Status == lsFound)
        return QStringLiteral("The page holds the address \u201c%1\u201d").arg(address);
    return QStringLiteral("The page does not hold the address \u201c%1\u201d").arg(address);
}

void DescribeFetch(const rMonitorInfo& link, const CheckDetails& details, Builder& out)
{
    out.heading(QStringLiteral("Check"));
    QString verdict = VSTItemGetHint(link, ColResult);
    if (link.Status == lsChecking)
        verdict += QStringLiteral(" (below: the check before)");
    out.row(QStringLiteral("Result"), verdict);
    out.row(QStringLiteral("Reason"), VerdictReason(link, details));
    out.row(QStringLiteral("HTTP status"), StatusText(details.httpStatus()));
    if (!details.failure().isEmpty())
        out.row(QStringLiteral("Failure"), Page(details.failure()));
    if (details.blocked())
        out.row(QStringLiteral("Blocked"),
                QStringLiteral("Yes: bot protection or a rate limit answered, not the page"));
    out.address(QStringLiteral("Page"), FromAnsi(link.PageUrl));
    if (!details.finalUrl().isEmpty())
        out.address(QStringLiteral("Final URL"), Page(details.finalUrl()));
    if (details.redirectCount() > 0) {
        QList<std::pair<QString, QString>> hops;
        for (qsizetype i = 0; i < details.redirectCount(); ++i) {
            const RedirectStep step = details.redirect(i);
            hops.append({Page(step.url), QStringLiteral("%1. %2 from").arg(i + 1).arg(StatusText(step.status))});
        }
        out.addresses(QStringLiteral("Redirects"), hops);
    }
    if (details.attemptCount() > 1) {
        QStringList tries;
        for (qsizetype i = 0; i < details.attemptCount(); ++i) {
            const AttemptStep step = details.attempt(i);
            QString line = QStringLiteral("%1. ").arg(i + 1);
            if (step.pauseMs > 0)
                line += QStringLiteral("after a pause of %1: ").arg(Milliseconds(step.pauseMs));
            line += step.failure.isEmpty() ? QStringLiteral("HTTP %1").arg(StatusText(step.status))
                                           : Page(step.failure) + QStringLiteral(", ") + Clean(step.reason);
            tries.append(line + QStringLiteral(" (%1)").arg(Milliseconds(step.elapsedMs)));
        }
        out.lines(QStringLiteral("Attempts"), tries);
    }
    out.row(QStringLiteral("Time taken"), Milliseconds(details.elapsedMs()));
    out.row(QStringLiteral("Size"), QStringLiteral("%1 bytes").arg(QLocale().toString(details.bytesReceived())));
    if (!details.contentType().isEmpty())
        out.row(QStringLiteral("Content-Type"), Page(details.contentType()));
}

QString LinkKindText(const CheckDetails& details)
{
    switch (details.linkKind()) {
    case LinkKind::Followed: return QStringLiteral("followed: a link search engines follow");
    case LinkKind::Nofollow: return QStringLiteral("nofollow: links to the website, none of them followed");
    case LinkKind::Mention: return QStringLiteral("mention: the address, but no link to the website");
    case LinkKind::None: return QStringLiteral("none: no link to the website and no mention of it");
    case LinkKind::Unknown: break;
    }
    return QStringLiteral("not known");
}

void DescribeLinks(const CheckDetails& details, Builder& out)
{
    out.heading(QStringLiteral("Link"));
    if (details.extent() == AnalysisExtent::NotAnalysed) {
        out.paragraph(details.blocked() ? QStringLiteral("Not analysed: the page did not answer itself.")
                                        : QStringLiteral("Not analysed: no page came with a 2xx status."));
        return;
    }
    out.row(QStringLiteral("Link"), LinkKindText(details));
    if (details.extent() == AnalysisExtent::Prefix)
        out.row(QStringLiteral("Analysed"), QStringLiteral("the beginning of the page only; it is too long"));
    else if (details.extent() == AnalysisExtent::Abandoned)
        out.row(QStringLiteral("Analysed"), QStringLiteral("no: the page needed too much time or memory"));
    if (!details.href().isEmpty()) {
        out.address(QStringLiteral("Href"), Page(details.href()));
        out.row(QStringLiteral("Rel"), details.rel().isEmpty() ? QStringLiteral("none") : Page(details.rel()));
        out.row(QStringLiteral("Anchor text"), Page(details.anchorText()));
    }
    QStringList robots;
    if (details.noindex())
        robots.append(QStringLiteral("noindex"));
    if (details.pageNofollow())
        robots.append(QStringLiteral("nofollow"));
    out.row(QStringLiteral("Robots"), robots.isEmpty() ? QStringLiteral("none") : robots.join(QStringLiteral(", ")));
    if (details.canonical().isEmpty())
        out.row(QStringLiteral("Canonical"), QStringLiteral("none"));
    else
        out.address(QStringLiteral("Canonical"), Page(details.canonical()),
                    details.canonicalElsewhere() ? QStringLiteral("(another page)") : QStringLiteral("(this page)"));
    if (!details.evidence().isEmpty())
        out.evidence(details.evidence(), details.matchStart(), details.matchLength());
}

}  // namespace

DetailsText DescribeCheck(const rMonitorInfo& link)
{
    Builder out;
    const CheckDetails& details = link.Details.get();
    if (details.isNull()) {
        out.paragraph(link.Status == lsChecking
                          ? QStringLiteral("Checking...")
                          : QStringLiteral("Not checked since Quorvane started. Check the link to see what its "
                                           "page holds."));
        return out.finish();
    }
    DescribeFetch(link, details, out);
    DescribeLinks(details, out);
    return out.finish();
}

bool IsHttpAddress(const QString& address)
{
    return address.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
        address.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
}
