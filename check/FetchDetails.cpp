#include "check/FetchDetails.h"

namespace {

bool HeaderSays(const FetchResult& fetch, QByteArrayView name, QByteArrayView value)
{
    for (const auto& [key, text] : fetch.headers) {
        if (name.compare(key, Qt::CaseInsensitive) == 0 && value.compare(text.trimmed(), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

}  // namespace

bool IsBlocked(const FetchResult& fetch)
{
    switch (fetch.status) {
    case 401:
    case 403:
    case 429:
    case 999: return true;
    default: break;
    }
    return HeaderSays(fetch, "cf-mitigated", "challenge") || HeaderSays(fetch, "x-amzn-waf-action", "challenge") ||
        HeaderSays(fetch, "x-amzn-waf-action", "captcha");
}

CheckFacts FactsOfFetch(const FetchResult& fetch)
{
    CheckFacts facts;
    facts.httpStatus = fetch.status > 0 ? fetch.status : 0;
    if (!fetch)
        facts.failure = FetchErrorKind(fetch.error);
    facts.reason = fetch.text;
    facts.finalUrl = fetch.finalUrl;
    for (const RedirectHop& hop : fetch.redirects)
        facts.redirects.append({hop.url, hop.status});
    facts.elapsedMs = fetch.elapsedMs;
    facts.bytesReceived = fetch.bytesReceived;
    facts.contentType = fetch.header("Content-Type");
    facts.blocked = IsBlocked(fetch);
    if (fetch.attempts.size() > 1) {
        for (const FetchAttempt& attempt : fetch.attempts) {
            facts.attempts.append(
                {attempt.error == FetchError::None ? QByteArray() : QByteArray(FetchErrorKind(attempt.error)),
                 attempt.status > 0 ? attempt.status : 0, attempt.reason, attempt.waitMs, attempt.elapsedMs});
        }
    }
    return facts;
}

CheckDetails DetailsOfFetch(const FetchResult& fetch, QByteArrayView websiteUrl, const ParseLimits& limits)
{
    CheckFacts facts = FactsOfFetch(fetch);
    // A challenge page says nothing about the partner's links.
    if (fetch && fetch.status >= 200 && fetch.status <= 299 && !facts.blocked)
        facts.analysis = AnalysePage(fetch.body, fetch.headers, fetch.finalUrl, websiteUrl, limits);
    return CheckDetails(facts);
}
