#include "model/WebsiteTree.h"

#include "model/TextUtil.h"

#include <limits>

void WebsiteTree::AddRootWebsite()
{
    m_root = rMySiteInfo{QByteArray(RootName), QByteArray(), 0};
}

void WebsiteTree::clear()
{
    m_root.reset();
    m_children.clear();
}

QByteArray WebsiteTree::SiteUrlOf(std::int32_t id) const
{
    QByteArray url;
    if (m_root && m_root->Id == id)
        url = m_root->Url;
    for (const rMySiteInfo& site : m_children) {
        if (site.Id == id)
            url = site.Url;
    }
    return url;
}

QByteArray WebsiteTree::WebsiteNameById(std::int32_t id) const
{
    QByteArray name;
    for (const rMySiteInfo& site : m_children) {
        if (site.Id == id)
            name = site.Name;
    }
    return name;
}

std::int32_t WebsiteTree::WebsiteIdByName(QByteArrayView name) const
{
    const QByteArray wanted = UpperAscii(TrimControl(name));
    std::int32_t id = 0;
    for (const rMySiteInfo& site : m_children) {
        if (UpperAscii(TrimControl(site.Name)) == wanted)
            id = site.Id;
    }
    return id;
}

std::int32_t WebsiteTree::NextWebsiteId() const
{
    // Ids come from hand-editable files, so the largest may be INT32_MAX; wrap like the 32-bit
    // arithmetic that stored files were written with rather than overflow.
    std::int64_t largest = m_root ? m_root->Id : std::numeric_limits<std::int32_t>::min();
    for (const rMySiteInfo& site : m_children)
        largest = std::max<std::int64_t>(largest, site.Id);
    if (!m_root && m_children.empty())
        largest = 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(largest + 1));
}

int WebsiteTree::indexOfId(std::int32_t id) const
{
    int found = -1;
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        if (m_children[i].Id == id)
            found = static_cast<int>(i);
    }
    return found;
}
