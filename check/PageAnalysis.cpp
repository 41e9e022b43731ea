#include "check/PageAnalysis.h"

#include "check/LinkHeader.h"
#include "check/PageExcerpts.h"
#include "check/PageMatch.h"
#include "check/RobotsDirectives.h"
#include "check/WebUrl.h"
#include "check/WebsiteAddress.h"

#include <cstring>
#include <optional>
#include <vector>

namespace {

// What one walk over the tree gathers.
struct PageElements {
    const char* baseHref = nullptr;
    const GumboNode* canonical = nullptr;
    std::vector<const GumboNode*> links;  // <a href> and <area href>, in document order
    RobotsDirectives robots;
};

bool NameIs(const char* value, const char* name)
{
    return value &&
        QByteArrayView(value, static_cast<qsizetype>(std::strlen(value)))
            .compare(QByteArrayView(name), Qt::CaseInsensitive) == 0;
}

QByteArrayView View(const char* text)
{
    return text ? QByteArrayView(text, static_cast<qsizetype>(std::strlen(text))) : QByteArrayView();
}

PageElements Gather(const GumboNode* document)
{
    PageElements page;
    TreeWalker walker(document);
    bool enter = true;
    while (const GumboNode* node = walker.next(enter)) {
        // A template's content is inert: nothing in it is part of the page until a script uses it.
        enter = node->type != GUMBO_NODE_TEMPLATE;
        if (node->type != GUMBO_NODE_ELEMENT || node->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
            continue;
        switch (node->v.element.tag) {
        case GUMBO_TAG_A:
        case GUMBO_TAG_AREA:
            if (AttributeOf(node, "href"))
                page.links.push_back(node);
            break;
        case GUMBO_TAG_BASE:
            if (!page.baseHref)
                page.baseHref = AttributeOf(node, "href");
            break;
        case GUMBO_TAG_META:
            if (NameIs(AttributeOf(node, "name"), "robots") || NameIs(AttributeOf(node, "name"), "googlebot"))
                page.robots.addMeta(View(AttributeOf(node, "content")));
            break;
        case GUMBO_TAG_LINK:
            if (!page.canonical && AttributeOf(node, "href") && HasToken(View(AttributeOf(node, "rel")), "canonical"))
                page.canonical = node;
            break;
        default: break;
        }
    }
    return page;
}

// The rel tokens in lower case, one blank apart, and whether they leave the link followed.
struct Rel {
    QByteArray tokens;
    bool followed = true;
};

Rel ReadRel(QByteArrayView value)
{
    Rel rel;
    qsizetype start = 0;
    while (start < value.size()) {
        qsizetype end = start;
        while (end < value.size() && !QByteArrayView(" \t\n\f\r").contains(value[end]))
            ++end;
        if (end > start) {
            const QByteArray token = value.sliced(start, end - start).toByteArray().toLower();
            if (token == "nofollow" || token == "sponsored" || token == "ugc")
                rel.followed = false;
            if (!rel.tokens.isEmpty())
                rel.tokens += ' ';
            rel.tokens += token;
        }
        start = end + 1;
    }
    return rel;
}

// Spares resolving most links that cannot point to the website: when the base is on another host,
// an href in plain ASCII without the website's host name in it goes elsewhere. Escapes, non-ASCII names and
// tabs or line breaks (which a browser drops) may hide the name, so those are resolved.
class LinkFilter {
public:
    LinkFilter(const WebsiteAddress& site, const std::optional<WebUrl>& base)
        : m_host(site.host()), m_always(!base || site.coversHost(base->host))
    {
    }

    bool mayPoint(QByteArrayView href) const
    {
        if (m_always)
            return true;
        if (m_host.isEmpty())
            return false;
        for (const char c : href) {
            if (c == '%' || c == '\t' || c == '\n' || c == '\r' || static_cast<unsigned char>(c) >= 0x80)
                return true;
        }
        return FindAddress(href, m_host) >= 0;
    }

private:
    QByteArrayView m_host;
    bool m_always;
};

std::optional<WebUrl> Canonical(const PageElements& page, const ResponseHeaders& headers,
                                const std::optional<WebUrl>& base, const std::optional<WebUrl>& finalUrl)
{
    if (page.canonical) {
        if (auto url = WebUrl::parse(View(AttributeOf(page.canonical, "href")), base ? &*base : nullptr))
            return url;
    }
    for (const auto& [name, value] : headers) {
        if (name.compare("Link", Qt::CaseInsensitive) != 0)
            continue;
        const QByteArray target = LinkHeaderTarget(value, "canonical");
        if (!target.isEmpty())
            return WebUrl::parse(target, finalUrl ? &*finalUrl : nullptr);
    }
    return std::nullopt;
}

void SetCanonical(const std::optional<WebUrl>& canonical, const std::optional<WebUrl>& finalUrl, LinkAnalysis& analysis)
{
    if (!canonical)
        return;
    analysis.canonical = canonical->toEncoded();
    analysis.canonicalElsewhere = !finalUrl || canonical->withoutFragment() != finalUrl->withoutFragment();
}

void SetMention(QByteArrayView page, QByteArrayView websiteUrl, LinkAnalysis& analysis)
{
    const qsizetype at = FindAddress(page, websiteUrl);
    if (at < 0)
        return;
    if (analysis.kind == LinkKind::None)
        analysis.kind = LinkKind::Mention;
    SetEvidence(page, at, at + websiteUrl.size(), analysis);
}

}  // namespace

LinkAnalysis AnalysePage(QByteArrayView page, const ResponseHeaders& headers, QByteArrayView finalUrl,
                         QByteArrayView websiteUrl, const ParseLimits& limits)
{
    LinkAnalysis analysis;
    RobotsDirectives robots;
    for (const auto& [name, value] : headers) {
        if (name.compare("X-Robots-Tag", Qt::CaseInsensitive) == 0)
            robots.addHeader(value);
    }
    const std::optional<WebUrl> finalAddress = WebUrl::parse(finalUrl);
    const HtmlDocument document(page, limits);
    PageElements elements;
    if (document.document())
        elements = Gather(document.document());
    robots.noindex = robots.noindex || elements.robots.noindex;
    robots.nofollow = robots.nofollow || elements.robots.nofollow;
    analysis.noindex = robots.noindex;
    analysis.pageNofollow = robots.nofollow;

    std::optional<WebUrl> base = finalAddress;
    if (elements.baseHref) {
        if (auto url = WebUrl::parse(View(elements.baseHref), finalAddress ? &*finalAddress : nullptr))
            base = std::move(url);
    }
    SetCanonical(Canonical(elements, headers, base, finalAddress), finalAddress, analysis);

    if (!document.document()) {
        analysis.extent = AnalysisExtent::Abandoned;
        SetMention(page, websiteUrl, analysis);
        return analysis;
    }
    analysis.extent =
        document.outcome() == HtmlDocument::Outcome::Prefix ? AnalysisExtent::Prefix : AnalysisExtent::Whole;

    const WebsiteAddress site(websiteUrl);
    const LinkFilter filter(site, base);
    const GumboNode* shown = nullptr;
    std::optional<WebUrl> shownUrl;
    Rel shownRel;
    for (const GumboNode* link : elements.links) {
        const QByteArrayView href = View(AttributeOf(link, "href"));
        if (!filter.mayPoint(href))
            continue;
        std::optional<WebUrl> url = WebUrl::parse(href, base ? &*base : nullptr);
        if (!url || !site.isTargetOf(*url))
            continue;
        Rel rel = ReadRel(View(AttributeOf(link, "rel")));
        if (!shown || rel.followed) {
            shown = link;
            shownUrl = std::move(url);
            shownRel = std::move(rel);
        }
        if (shownRel.followed)
            break;
    }

    if (!shown) {
        analysis.kind = LinkKind::None;
        SetMention(page, websiteUrl, analysis);
        return analysis;
    }
    analysis.kind = shownRel.followed && !robots.nofollow ? LinkKind::Followed : LinkKind::Nofollow;
    analysis.href = shownUrl->toEncoded();
    analysis.rel = shownRel.tokens;
    analysis.anchorText = AnchorText(shown);
    SetEvidence(document.source(), shown, analysis);
    return analysis;
}
