#include "support/SampleData.h"

#include "model/DataFiles.h"
#include "model/DateTime.h"
#include "model/LinkList.h"

#include <memory>

WebsiteTree Websites(std::initializer_list<rMySiteInfo> sites)
{
    WebsiteTree tree;
    tree.AddRootWebsite();
    for (const rMySiteInfo& site : sites)
        tree.append(site);
    return tree;
}

void WriteTwoWebsitesOneLink(const QString& appDir)
{
    WebsiteTree websites;
    websites.append({"Alpha", "alpha.example", 1});
    websites.append({"Beta", "beta.example", 2});
    SaveWebsites(appDir, websites);
    LinkList links;
    auto link = std::make_shared<rMonitorInfo>();
    link->SiteId = 1;
    link->PageUrl = "http://p1.example/";
    link->Created = 46000.5;
    links.appendMany({link});
    SaveLinks(appDir, links, LocaleFormats::system());
}

LinkRecord SampleLink(std::int32_t siteId, const char* url, LinkStatus status, double created)
{
    auto link = std::make_shared<rMonitorInfo>();
    link->SiteId = siteId;
    link->PageUrl = url;
    link->Status = status;
    link->Created = created;
    return link;
}

CheckDetails SampleDetails(int status, const char* failure, LinkKind kind, const char* anchor)
{
    CheckFacts facts;
    facts.httpStatus = status;
    facts.failure = failure;
    facts.analysis.kind = kind;
    facts.analysis.anchorText = anchor;
    return CheckDetails(facts);
}
