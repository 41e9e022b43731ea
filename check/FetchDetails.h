#pragma once

#include "check/FetchResult.h"
#include "check/PageAnalysis.h"
#include "model/CheckDetails.h"

#include <QByteArrayView>

// Whether bot protection or a rate limit answered instead of the page: status 401, 403, 429 or 999,
// or a response that announces a challenge (Cloudflare's "cf-mitigated: challenge", AWS WAF's
// "x-amzn-waf-action: challenge" or "captcha").
bool IsBlocked(const FetchResult& fetch);

// How the fetch went, without the link analysis.
CheckFacts FactsOfFetch(const FetchResult& fetch);

// The details of a check from its fetch and the website's Url: how the fetch went and, when a body
// came with a 2xx status and no bot protection answered, the link analysis of that body.
CheckDetails DetailsOfFetch(const FetchResult& fetch, QByteArrayView websiteUrl,
                            const ParseLimits& limits = ParseLimits());
