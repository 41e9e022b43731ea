#pragma once

#include "model/Records.h"

#include <QByteArray>

#include <optional>
#include <vector>

// The websites pane's data: the "All my websites" root and its children, in load-and-add order.
// There are no deeper levels.
class WebsiteTree {
public:
    static constexpr const char* RootName = "All my websites";

    // Appends the root (Name "All my websites", empty Url, Id 0). Expects an empty tree.
    void AddRootWebsite();
    bool hasRoot() const { return m_root.has_value(); }
    const rMySiteInfo& root() const { return *m_root; }

    // The websites under the root, in pane order.
    const std::vector<rMySiteInfo>& children() const { return m_children; }
    void append(rMySiteInfo site) { m_children.push_back(std::move(site)); }
    void replace(std::size_t index, rMySiteInfo site) { m_children.at(index) = std::move(site); }
    void remove(std::size_t index) { m_children.erase(m_children.begin() + static_cast<std::ptrdiff_t>(index)); }
    // Removes the root and every website.
    void clear();

    // The Url of the last node, root included, whose Id matches; empty when none does.
    QByteArray SiteUrlOf(std::int32_t id) const;
    // The Name of the last website (root excluded) whose Id matches; empty when none does.
    QByteArray WebsiteNameById(std::int32_t id) const;
    // The Id of the last website (root excluded) whose name matches by SameName; 0 when none does.
    std::int32_t WebsiteIdByName(QByteArrayView name) const;
    // The largest Id among all nodes, root included, plus 1.
    std::int32_t NextWebsiteId() const;
    // Index among the children of the last website with this Id, or -1.
    int indexOfId(std::int32_t id) const;

private:
    std::optional<rMySiteInfo> m_root;
    std::vector<rMySiteInfo> m_children;
};
