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
