// RankedTree's passes over many nodes at once, in storage order, without walking the sequence.
#pragma once

#include "model/RankedTree.h"

template <class Value, unsigned CountedFlags>
template <class Change>
void RankedTree<Value, CountedFlags>::rewriteFlags(Change change)
{
    for (Node& n : m_nodes) {
        if (!(n.flags & InUse))
            continue;
        const Flags was = static_cast<Flags>(n.flags & ~InUse);
        const Flags now = static_cast<Flags>(change(n.value, was));
        if (now != was)  // most nodes keep theirs: leave their memory clean
            n.flags = static_cast<Flags>(now | InUse);
    }
    recount();
}

template <class Value, unsigned CountedFlags>
template <class Visit>
void RankedTree<Value, CountedFlags>::forEachValue(Visit visit)
{
    for (Node& n : m_nodes) {
        if (n.flags & InUse)
            visit(n.value);
    }
}

template <class Value, unsigned CountedFlags>
template <class Visit>
void RankedTree<Value, CountedFlags>::forEachNode(Visit visit) const
{
    for (Index x = 1; x < m_nodes.size(); ++x) {
        const Flags flags = m_nodes[x].flags;
        if (flags & InUse)
            visit(x, static_cast<Flags>(flags & ~InUse));
    }
}

template <class Value, unsigned CountedFlags>
template <class Change>
void RankedTree<Value, CountedFlags>::rewriteFlagsOf(const std::vector<Index>& nodes, Change change)
{
    // A path is about twice the logarithm of the size long; past that many nodes, counting the
    // whole tree once is the cheaper way.
    constexpr Flags Counted = static_cast<Flags>((1u << CountedFlags) - 1);
    const bool onePass = nodes.size() > size() / 64;
    bool recounting = false;
    for (Index x : nodes) {
        Node& n = m_nodes[x];
        const Flags was = static_cast<Flags>(n.flags & ~InUse);
        const Flags now = static_cast<Flags>(change(x, was));
        n.flags = static_cast<Flags>(now | InUse);
        if (!((now ^ was) & Counted))
            continue;
        if (onePass)
            recounting = true;
        else
            refreshPath(x);
    }
    if (recounting)
        recount();
}
