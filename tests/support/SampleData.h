#pragma once

#include "model/CheckDetails.h"
#include "model/Records.h"
#include "model/WebsiteTree.h"

#include <QString>

#include <initializer_list>

// A websites tree with the root and the given websites, in order.
WebsiteTree Websites(std::initializer_list<rMySiteInfo> sites);

// Writes MySites.txt with the websites Alpha (Id 1) and Beta (Id 2), and Items.txt with one link
// of Alpha, into appDir.
void WriteTwoWebsitesOneLink(const QString& appDir);

// A link of the website `siteId`, as a list holds it.
LinkRecord SampleLink(std::int32_t siteId, const char* url, LinkStatus status = lsUnchecked, double created = 0);

// The details of a check that got the HTTP status (0: none) or failed as `failure`, with the link
// kind and anchor text the page analysis found.
CheckDetails SampleDetails(int status, const char* failure, LinkKind kind = LinkKind::Unknown, const char* anchor = "");
