#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// A sequence of values held as a randomized binary search tree over positions: a merge picks its
// root with probability in proportion to the sizes of its two sides, which keeps any shape of the
// tree balanced in expectation, whatever order the changes come in.
//
// Each node carries eight flag bits. The first CountedFlags of them are counted per subtree, as
// is the number of nodes, so the position of a node among all nodes or among the nodes with a
// counted flag (its rank), and the node at such a position (the nth), come in logarithmic time.
// The rest up to bit 6 are the owner's to use; the tree only keeps them. Bit 7 tells a node in
// use from a free slot.
//
// Nodes live in one vector and are named by their index, which stays the same for the life of
// the node, wherever it moves. Index 0 is no node: it reads as a default value without flags, so
// an answer of 0 ("none") may be read like a node. A node is either in the sequence or detached
// (created, or taken out, and not yet inserted). Positions start at 0.
template <class Value, unsigned CountedFlags>
class RankedTree {
    static_assert(CountedFlags < 7, "bit 7 marks the nodes in use");

public:
    using Index = std::uint32_t;
    using Flags = std::uint8_t;
    // The counter that counts every node; a counted flag's bit number names its own counter.
    static constexpr unsigned AllNodes = CountedFlags;
    static constexpr Flags bit(unsigned flag) { return static_cast<Flags>(1u << flag); }

    RankedTree() { m_nodes.emplace_back(); }
    RankedTree(const RankedTree&) = delete;
    RankedTree& operator=(const RankedTree&) = delete;

    // A new detached node, with the given owner flags (bits 0 to 6).
    Index create(Value value, Flags flags);
    // Frees a node and gives back its value. The node must be detached, or the sequence must be
    // assigned anew without it before anything else reads the tree.
    Value release(Index x);
    // Drops every node and gives the memory back.
    void clear();
    void reserve(std::size_t nodes) { m_nodes.reserve(nodes + 1); }

    // Whether x names a node in use (any number is safe to ask about).
    bool holds(Index x) const { return x != 0 && x < m_nodes.size() && (m_nodes[x].flags & InUse); }
    const Value& value(Index x) const { return m_nodes[x].value; }
    Value& value(Index x) { return m_nodes[x].value; }
    bool test(Index x, unsigned flag) const { return (m_nodes[x].flags >> flag) & 1u; }
    // Sets or clears one flag (0 to 6) of a node, keeping the counts of the subtrees above it.
    void set(Index x, unsigned flag, bool on);
    // Rewrites the flags of every node in use at once, in storage order:
    // change(Value&, Flags) gives the new owner flags. Counts are made again once, at the end.
    template <class Change>
    void rewriteFlags(Change change);
    // Visits the value of every node in use, in storage order (not sequence order).
    template <class Visit>
    void forEachValue(Visit visit);
    // Visits every node in use, in storage order: visit(Index, Flags) gets its owner flags, and
    // reads the value only if it needs it.
    template <class Visit>
    void forEachNode(Visit visit) const;
    // Rewrites the owner flags of the given nodes in use, each once: change(Index, Flags) gives
    // the new ones. The counts follow node by node for a few, all at once for many.
    template <class Change>
    void rewriteFlagsOf(const std::vector<Index>& nodes, Change change);

    // How many nodes the counter counts in the whole sequence.
    template <unsigned Counter>
    std::uint32_t count() const
    {
        return m_nodes[m_root].counts[slot(Counter)];
    }
    std::uint32_t size() const { return count<AllNodes>(); }
    // How many nodes the counter counts before x in the sequence (x must be in it).
    template <unsigned Counter>
    std::uint32_t rank(Index x) const;
    // The k-th node the counter counts, or 0 when there are not that many.
    template <unsigned Counter>
    Index nth(std::uint32_t k) const;
    // The first node after x that the counter counts, or 0 when there is none.
    template <unsigned Counter>
    Index next(Index x) const
    {
        return nth<Counter>(rank<Counter>(x) + own<Counter>(m_nodes[x]));
    }
    // How many nodes the counter counts among the first `position` nodes of the sequence.
    template <unsigned Counter>
    std::uint32_t countBefore(std::uint32_t position) const;
    // The number of leading nodes for which goesFirst(const Value&) holds, when it holds for a
    // prefix of the sequence and for nothing after it (a binary search).
    template <class GoesFirst>
    std::uint32_t partitionPoint(GoesFirst goesFirst) const;
    // The nodes of the sequence, in order.
    std::vector<Index> inOrder() const;

    // Puts a detached node at a position (0 to size()).
    void insertAt(std::uint32_t position, Index x);
    // Takes a node out of the sequence; it stays in use, detached.
    void detach(Index x);
    // Takes several nodes out, each once; they stay in use, detached.
    void detachAll(const std::vector<Index>& nodes);
    // Makes the sequence exactly `order`: nodes in use, each once, detached or not. Nodes left out
    // must be released or inserted again before the tree is read.
    void assign(const std::vector<Index>& order);

    // What a node costs beside the vector's slack, for those who budget memory per value.
    static constexpr std::size_t NodeBytes();

private:
    static constexpr Flags InUse = 0x80;

    struct Node {
        Value value{};
        Index left = 0;
        Index right = 0;
        Index parent = 0;
        std::array<std::uint32_t, CountedFlags + 1> counts{};  // per counter (at its slot), over the subtree
        Flags flags = 0;
    };

    // Where a counter's count sits in a node: every node's first, as that one is used most.
    static constexpr unsigned slot(unsigned counter) { return counter == AllNodes ? 0 : counter + 1; }

    template <unsigned Counter>
    static std::uint32_t own(const Node& n)
    {
        if constexpr (Counter == AllNodes)
            return 1;
        else
            return (n.flags >> Counter) & 1u;
    }

    void pull(Index x);
    void refreshPath(Index x);
    void split(Index t, std::uint32_t k, Index& a, Index& b);
    Index merge(Index a, Index b);
    Index build(const std::vector<Index>& order, std::size_t lo, std::size_t hi);
    void recount();
    std::uint64_t random();

    std::vector<Node> m_nodes;  // [0] is no node: its counts stay 0
    std::vector<Index> m_free;
    Index m_root = 0;
    std::uint64_t m_random = 0x9e3779b97f4a7c15ull;
};

template <class Value, unsigned CountedFlags>
constexpr std::size_t RankedTree<Value, CountedFlags>::NodeBytes()
{
    return sizeof(Node);
}

template <class Value, unsigned CountedFlags>
auto RankedTree<Value, CountedFlags>::create(Value value, Flags flags) -> Index
{
    Index x;
    if (!m_free.empty()) {
        x = m_free.back();
        m_free.pop_back();
    } else {
        x = static_cast<Index>(m_nodes.size());
        m_nodes.emplace_back();
    }
    Node& n = m_nodes[x];
    n.value = std::move(value);
    n.flags = static_cast<Flags>(flags | InUse);
    n.left = n.right = n.parent = 0;
    pull(x);
    return x;
}

template <class Value, unsigned CountedFlags>
Value RankedTree<Value, CountedFlags>::release(Index x)
{
    Value value = std::move(m_nodes[x].value);
    m_nodes[x] = Node{};
    m_free.push_back(x);
    return value;
}

template <class Value, unsigned CountedFlags>
void RankedTree<Value, CountedFlags>::clear()
{
    m_nodes.clear();
    m_nodes.emplace_back();
    m_nodes.shrink_to_fit();
    m_free.clear();
    m_free.shrink_to_fit();
    m_root = 0;
}

template <class Value, unsigned CountedFlags>
void RankedTree<Value, CountedFlags>::set(Index x, unsigned flag, bool on)
{
    Node& n = m_nodes[x];
    if (((n.flags >> flag) & 1u) == unsigned(on))
        return;
    n.flags ^= static_cast<Flags>(1u << flag);
    if (flag < CountedFlags)
        refreshPath(x);
}

template <class Value, unsigned CountedFlags>
template <unsigned Counter>
std::uint32_t RankedTree<Value, CountedFlags>::rank(Index x) const
{
    std::uint32_t r = m_nodes[m_nodes[x].left].counts[slot(Counter)];
    while (x != m_root) {
        const Index p = m_nodes[x].parent;
        const Node& up = m_nodes[p];
        if (up.right == x)
            r += m_nodes[up.left].counts[slot(Counter)] + own<Counter>(up);
        x = p;
    }
    return r;
}

template <class Value, unsigned CountedFlags>
template <unsigned Counter>
auto RankedTree<Value, CountedFlags>::nth(std::uint32_t k) const -> Index
{
    Index t = m_root;
    while (t) {
        const Node& n = m_nodes[t];
        const std::uint32_t onLeft = m_nodes[n.left].counts[slot(Counter)];
        if (k < onLeft) {
            t = n.left;
        } else if (own<Counter>(n) && k == onLeft) {
            return t;
        } else {
            k -= onLeft + own<Counter>(n);
            t = n.right;
        }
    }
    return 0;
}

template <class Value, unsigned CountedFlags>
template <unsigned Counter>
std::uint32_t RankedTree<Value, CountedFlags>::countBefore(std::uint32_t position) const
{
    std::uint32_t count = 0;
    Index t = m_root;
    while (t) {
        const Node& n = m_nodes[t];
        const std::uint32_t leftSize = m_nodes[n.left].counts[0];
        if (position <= leftSize) {
            t = n.left;
        } else {
            count += m_nodes[n.left].counts[slot(Counter)] + own<Counter>(n);
            position -= leftSize + 1;
            t = n.right;
        }
    }
    return count;
}

template <class Value, unsigned CountedFlags>
template <class GoesFirst>
std::uint32_t RankedTree<Value, CountedFlags>::partitionPoint(GoesFirst goesFirst) const
{
    std::uint32_t count = 0;
    Index t = m_root;
    while (t) {
        const Node& n = m_nodes[t];
        if (goesFirst(static_cast<const Value&>(n.value))) {
            count += m_nodes[n.left].counts[0] + 1;
            t = n.right;
        } else {
            t = n.left;
        }
    }
    return count;
}

template <class Value, unsigned CountedFlags>
auto RankedTree<Value, CountedFlags>::inOrder() const -> std::vector<Index>
{
    std::vector<Index> out;
    out.reserve(size());
    std::vector<Index> stack;
    Index t = m_root;
    while (t || !stack.empty()) {
        while (t) {
            stack.push_back(t);
            t = m_nodes[t].left;
        }
        t = stack.back();
        stack.pop_back();
        out.push_back(t);
        t = m_nodes[t].right;
    }
    return out;
}

template <class Value, unsigned CountedFlags>
void RankedTree<Value, CountedFlags>::insertAt(std::uint32_t position, Index x)
{
    pull(x);  // a detached node's counts are not kept while it is out
    Index a = 0;
    Index b = 0;
    split(m_root, position, a, b);
    m_root = merge(merge(a, x), b);
    m_nodes[m_root].parent = 0;
}

template <class Value, unsigned CountedFlags>
void RankedTree<Value, CountedFlags>::detach(Index x)
{
    Node& n = m_nodes[x];
    const Index joined = merge(n.left, n.right);
    const Index p = n.parent;
    if (x == m_root) {
        m_root = joined;
        if (joined)
            m_nodes[joined].parent = 0;
    } else {
        Node& parent = m_nodes[p];
        (parent.left == x ? parent.left : parent.right) = joined;
        if (joined)
            m_nodes[joined].parent = p;
        refreshPath(p);
    }
    Node& again = m_nodes[x];
    again.left = again.right = again.parent = 0;
}

// A detach merges two subtrees and walks to the root, so its cost grows with the nodes taken out;
// making the tree anew from the nodes that stay costs one pass whatever goes. At 100,000 nodes the
// two cost about the same between one node in eight and one in four.
template <class Value, unsigned CountedFlags>
void RankedTree<Value, CountedFlags>::detachAll(const std::vector<Index>& nodes)
{
    if (nodes.size() * 8 < size()) {
        for (Index x : nodes)
            detach(x);
        return;
    }
    std::vector<Index> order = inOrder();
    for (Index x : nodes)
        m_nodes[x].flags &= ~InUse;  // marks the leaving ones for a moment
    std::erase_if(order, [this](Index x) { return !(m_nodes[x].flags & InUse); });
    assign(order);
    for (Index x : nodes) {
        Node& n = m_nodes[x];
        n.flags |= InUse;
        n.left = n.right = n.parent = 0;
    }
}

template <class Value, unsigned CountedFlags>
void RankedTree<Value, CountedFlags>::assign(const std::vector<Index>& order)
{
    m_root = build(order, 0, order.size());
    if (m_root)
        m_nodes[m_root].parent = 0;
}

template <class Value, unsigned CountedFlags>
void RankedTree<Value, CountedFlags>::pull(Index x)
{
    Node& n = m_nodes[x];
    const Node& l = m_nodes[n.left];
    const Node& r = m_nodes[n.right];
    n.counts[0] = 1 + l.counts[0] + r.counts[0];
    for (unsigned f = 0; f < CountedFlags; ++f)
        n.counts[f + 1] = ((n.flags >> f) & 1u) + l.counts[f + 1] + r.counts[f + 1];
    if (n.left)
        m_nodes[n.left].parent = x;
    if (n.right)
        m_nodes[n.right].parent = x;
}

// A detached node has parent 0, so the walk ends with it.
template <class Value, unsigned CountedFlags>
void RankedTree<Value, CountedFlags>::refreshPath(Index x)
{
    while (x) {
        pull(x);
        x = x == m_root ? 0 : m_nodes[x].parent;
    }
}

template <class Value, unsigned CountedFlags>
void RankedTree<Value, CountedFlags>::split(Index t, std::uint32_t k, Index& a, Index& b)
{
    if (!t) {
        a = b = 0;
        return;
    }
    Node& n = m_nodes[t];
    const std::uint32_t leftSize = m_nodes[n.left].counts[0];
    if (k <= leftSize) {
        split(n.left, k, a, n.left);
        b = t;
    } else {
        split(n.right, k - leftSize - 1, n.right, b);
        a = t;
    }
    pull(t);
}

template <class Value, unsigned CountedFlags>
auto RankedTree<Value, CountedFlags>::merge(Index a, Index b) -> Index
{
    if (!a)
        return b;
    if (!b)
        return a;
    const std::uint64_t sa = m_nodes[a].counts[0];
    const std::uint64_t sb = m_nodes[b].counts[0];
    if (random() % (sa + sb) < sa) {
        m_nodes[a].right = merge(m_nodes[a].right, b);
        pull(a);
        return a;
    }
    m_nodes[b].left = merge(a, m_nodes[b].left);
    pull(b);
    return b;
}

template <class Value, unsigned CountedFlags>
auto RankedTree<Value, CountedFlags>::build(const std::vector<Index>& order, std::size_t lo, std::size_t hi) -> Index
{
    if (lo >= hi)
        return 0;
    const std::size_t mid = lo + (hi - lo) / 2;
    const Index x = order[mid];
    m_nodes[x].left = build(order, lo, mid);
    m_nodes[x].right = build(order, mid + 1, hi);
    pull(x);
    return x;
}

// Children before parents: breadth first from the root, then pulled in reverse.
template <class Value, unsigned CountedFlags>
void RankedTree<Value, CountedFlags>::recount()
{
    if (!m_root)
        return;
    std::vector<Index> levels;
    levels.reserve(size());
    levels.push_back(m_root);
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const Node& n = m_nodes[levels[i]];
        if (n.left)
            levels.push_back(n.left);
        if (n.right)
            levels.push_back(n.right);
    }
    for (auto it = levels.rbegin(); it != levels.rend(); ++it)
        pull(*it);
}

// xorshift64*: the merges need only a cheap, even spread, and the same sequence every run.
template <class Value, unsigned CountedFlags>
std::uint64_t RankedTree<Value, CountedFlags>::random()
{
    m_random ^= m_random >> 12;
    m_random ^= m_random << 25;
    m_random ^= m_random >> 27;
    return m_random * 0x2545F4914F6CDD1Dull;
}

#include "model/RankedTreePasses.h"
