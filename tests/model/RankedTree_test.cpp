#include "model/RankedTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <utility>

namespace {

// A plain vector that does what the tree does, one slow step at a time: the sequence in order,
// each entry the node's value and flags. The tree after every step must agree with it on every
// count, rank, nth and neighbour.
template <unsigned Counted>
class Checker {
public:
    using Tree = RankedTree<int, Counted>;
    using Index = typename Tree::Index;
    static constexpr unsigned UncountedFlag = Counted;  // stored, never counted

    explicit Checker(unsigned seed) : m_rng(seed) {}

    void run(int steps)
    {
        for (int step = 0; step < steps && !::testing::Test::HasFailure(); ++step) {
            randomStep();
            SCOPED_TRACE(::testing::Message() << "after step " << step << " (" << m_last << ")");
            verify();
        }
    }

private:
    struct Entry {
        int value;
        Index node;
        std::uint8_t flags;
    };

    std::uint32_t pick(std::size_t n) { return static_cast<std::uint32_t>(m_rng() % n); }
    std::uint8_t randomFlags() { return static_cast<std::uint8_t>(m_rng() % (1u << (Counted + 1))); }

    void randomStep()
    {
        const unsigned kind = m_rng() % 100;
        if (m_seq.empty() || kind < 30) {
            insert();
        } else if (kind < 45) {
            remove();
        } else if (kind < 65) {
            move();
        } else if (kind < 85) {
            setFlag();
        } else if (kind < 90) {
            removeMany();
        } else if (kind < 91) {
            rewriteAll();
        } else if (kind < 95) {
            rewriteSome();
        } else if (kind < 97) {
            shuffle();
        } else {
            clear();
        }
    }

    void insert()
    {
        m_last = "insert";
        const int value = m_nextValue++;
        const std::uint8_t flags = randomFlags();
        const Index x = m_tree.create(value, flags);
        ASSERT_TRUE(m_tree.holds(x));
        ASSERT_EQ(m_tree.size(), m_seq.size()) << "a detached node is not in the sequence";
        const std::uint32_t at = pick(m_seq.size() + 1);
        m_tree.insertAt(at, x);
        m_seq.insert(m_seq.begin() + at, Entry{value, x, flags});
    }

    void remove()
    {
        m_last = "remove";
        const std::uint32_t at = pick(m_seq.size());
        const Entry e = m_seq[at];
        m_tree.detach(e.node);
        m_seq.erase(m_seq.begin() + at);
        ASSERT_TRUE(m_tree.holds(e.node)) << "a detached node stays in use";
        EXPECT_EQ(m_tree.release(e.node), e.value);
        EXPECT_FALSE(m_tree.holds(e.node));
    }

    void move()
    {
        m_last = "move";
        const std::uint32_t from = pick(m_seq.size());
        const Entry e = m_seq[from];
        m_tree.detach(e.node);
        m_seq.erase(m_seq.begin() + from);
        // A flag set on a node while it is out is counted once it is back.
        Entry moved = e;
        if (m_rng() % 2) {
            const unsigned flag = pick(Counted + 1);
            const bool on = m_rng() % 2;
            m_tree.set(e.node, flag, on);
            applyFlag(moved, flag, on);
        }
        const std::uint32_t to = pick(m_seq.size() + 1);
        m_tree.insertAt(to, e.node);
        m_seq.insert(m_seq.begin() + to, moved);
    }

    void setFlag()
    {
        m_last = "set";
        Entry& e = m_seq[pick(m_seq.size())];
        const unsigned flag = pick(Counted + 1);
        const bool on = m_rng() % 2;
        m_tree.set(e.node, flag, on);
        applyFlag(e, flag, on);
    }

    // Both ways of taking out several nodes (one by one for a few, a rebuild for many); some of
    // them then go back in elsewhere, the rest are freed.
    void removeMany()
    {
        m_last = "detachAll";
        const std::size_t n = 1 + pick(m_seq.size());
        std::vector<std::size_t> positions(m_seq.size());
        for (std::size_t i = 0; i < positions.size(); ++i)
            positions[i] = i;
        std::shuffle(positions.begin(), positions.end(), m_rng);
        positions.resize(n);
        std::vector<Entry> out;
        std::vector<Index> nodes;
        for (std::size_t p : positions) {
            out.push_back(m_seq[p]);
            nodes.push_back(m_seq[p].node);
        }
        m_tree.detachAll(nodes);
        std::sort(positions.rbegin(), positions.rend());
        for (std::size_t p : positions)
            m_seq.erase(m_seq.begin() + static_cast<std::ptrdiff_t>(p));
        ASSERT_EQ(m_tree.size(), m_seq.size());
        for (const Entry& e : out) {
            ASSERT_TRUE(m_tree.holds(e.node));
            if (m_rng() % 2) {
                EXPECT_EQ(m_tree.release(e.node), e.value);
            } else {
                const std::uint32_t at = pick(m_seq.size() + 1);
                m_tree.insertAt(at, e.node);
                m_seq.insert(m_seq.begin() + at, e);
            }
        }
    }

    // rewriteFlags while one node is out of the sequence: its counts must follow its new flags.
    void rewriteAll()
    {
        m_last = "rewriteFlags";
        const std::uint8_t mask = randomFlags();
        Entry out = m_seq.back();
        m_tree.detach(out.node);
        m_seq.pop_back();
        m_tree.rewriteFlags([&](int, typename Tree::Flags flags) { return static_cast<std::uint8_t>(flags ^ mask); });
        for (Entry& e : m_seq)
            e.flags ^= mask;
        out.flags ^= mask;
        const std::uint32_t at = pick(m_seq.size() + 1);
        m_tree.insertAt(at, out.node);
        m_seq.insert(m_seq.begin() + at, out);
    }

    // A few nodes, whose counts follow path by path, or most of them, counted again at once.
    void rewriteSome()
    {
        m_last = "rewriteFlagsOf";
        const std::uint8_t mask = randomFlags();
        const bool many = m_rng() % 2;
        std::vector<Index> nodes;
        for (Entry& e : m_seq) {
            if (m_rng() % (many ? 2 : 40) == 0) {
                nodes.push_back(e.node);
                e.flags ^= mask;
            }
        }
        m_tree.rewriteFlagsOf(
            nodes, [&](Index, typename Tree::Flags flags) { return static_cast<std::uint8_t>(flags ^ mask); });
        std::size_t visited = 0;
        m_tree.forEachNode([&](Index x, typename Tree::Flags flags) {
            const auto e = std::find_if(m_seq.begin(), m_seq.end(), [x](const Entry& e) { return e.node == x; });
            ASSERT_NE(e, m_seq.end());
            EXPECT_EQ(flags, e->flags);
            ++visited;
        });
        EXPECT_EQ(visited, m_seq.size());
    }

    void shuffle()
    {
        m_last = "assign";
        std::shuffle(m_seq.begin(), m_seq.end(), m_rng);
        std::vector<Index> order;
        for (const Entry& e : m_seq)
            order.push_back(e.node);
        m_tree.assign(order);
    }

    void clear()
    {
        m_last = "clear";
        m_tree.clear();
        m_seq.clear();
    }

    static void applyFlag(Entry& e, unsigned flag, bool on)
    {
        e.flags = static_cast<std::uint8_t>(on ? e.flags | (1u << flag) : e.flags & ~(1u << flag));
    }

    template <unsigned Counter>
    bool counts(const Entry& e) const
    {
        return Counter == Tree::AllNodes || ((e.flags >> Counter) & 1u);
    }

    template <unsigned Counter>
    void verifyCounter()
    {
        SCOPED_TRACE(::testing::Message() << "counter " << Counter);
        std::vector<Index> counted;  // the nodes this counter counts, in order
        std::vector<std::uint32_t> before(m_seq.size() + 1);
        for (std::size_t i = 0; i < m_seq.size(); ++i) {
            before[i] = static_cast<std::uint32_t>(counted.size());
            if (counts<Counter>(m_seq[i]))
                counted.push_back(m_seq[i].node);
        }
        before[m_seq.size()] = static_cast<std::uint32_t>(counted.size());

        ASSERT_EQ(m_tree.template count<Counter>(), counted.size());
        for (std::size_t i = 0; i < m_seq.size(); ++i) {
            const Index x = m_seq[i].node;
            ASSERT_EQ(m_tree.template rank<Counter>(x), before[i]) << "rank at position " << i;
            const Index next = before[i] + counts<Counter>(m_seq[i]) < counted.size()
                ? counted[before[i] + counts<Counter>(m_seq[i])]
                : 0;
            ASSERT_EQ(m_tree.template next<Counter>(x), next) << "next after position " << i;
        }
        for (std::size_t k = 0; k < counted.size(); ++k)
            ASSERT_EQ(m_tree.template nth<Counter>(static_cast<std::uint32_t>(k)), counted[k]) << "nth " << k;
        EXPECT_EQ(m_tree.template nth<Counter>(static_cast<std::uint32_t>(counted.size())), 0u);
        EXPECT_EQ(m_tree.template nth<Counter>(~0u), 0u);
        for (std::size_t p = 0; p <= m_seq.size(); ++p)
            ASSERT_EQ(m_tree.template countBefore<Counter>(static_cast<std::uint32_t>(p)), before[p])
                << "position " << p;
    }

    template <unsigned... Counters>
    void verifyCounters(std::integer_sequence<unsigned, Counters...>)
    {
        (verifyCounter<Counters>(), ...);
    }

    void verify()
    {
        std::vector<Index> expected;
        for (const Entry& e : m_seq) {
            expected.push_back(e.node);
            ASSERT_EQ(m_tree.value(e.node), e.value);
            for (unsigned f = 0; f <= Counted; ++f)
                ASSERT_EQ(m_tree.test(e.node, f), bool((e.flags >> f) & 1u));
        }
        ASSERT_EQ(m_tree.inOrder(), expected);
        ASSERT_EQ(m_tree.size(), m_seq.size());
        verifyCounters(std::make_integer_sequence<unsigned, Counted + 1>());

        // A binary search over any split of the sequence into a leading part and the rest.
        const std::uint32_t split = pick(m_seq.size() + 1);
        const auto lead = [&](const int& value) {
            const auto it = std::find_if(m_seq.begin(), m_seq.end(), [&](const Entry& e) { return e.value == value; });
            return static_cast<std::uint32_t>(it - m_seq.begin()) < split;
        };
        EXPECT_EQ(m_tree.partitionPoint(lead), split);

        std::size_t inUse = 0;
        m_tree.forEachValue([&](int& value) {
            ++inUse;
            EXPECT_TRUE(std::any_of(m_seq.begin(), m_seq.end(), [&](const Entry& e) { return e.value == value; }));
        });
        EXPECT_EQ(inUse, m_seq.size()) << "every node in use is in the sequence";
    }

    Tree m_tree;
    std::vector<Entry> m_seq;
    std::mt19937 m_rng;
    int m_nextValue = 1;
    const char* m_last = "";
};

TEST(RankedTree, AgreesWithAVectorThroughRandomChanges)
{
    for (unsigned seed = 1; seed <= 150 && !HasFailure(); ++seed) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        Checker<2>(seed).run(250);
    }
}

TEST(RankedTree, AgreesWithAVectorWithOtherNumbersOfCountedFlags)
{
    for (unsigned seed = 1; seed <= 40 && !HasFailure(); ++seed) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        Checker<0>(seed).run(200);
        Checker<5>(seed).run(200);
    }
}

// A few nodes have their counts mended along their paths, many by one count of the whole tree:
// both must leave every count and rank as a count from scratch gives them.
TEST(RankedTree, RewritingTheFlagsOfSomeNodesKeepsEveryCount)
{
    using Tree = RankedTree<int, 2>;
    std::mt19937 rng(5);
    Tree tree;
    std::vector<std::uint8_t> flags(1);
    for (int i = 0; i < 3000; ++i) {
        const auto f = static_cast<std::uint8_t>(rng() % 8);
        const Tree::Index x = tree.create(i, f);
        tree.insertAt(static_cast<std::uint32_t>(rng() % (tree.size() + 1)), x);
        flags.resize(x + 1);
        flags[x] = f;
    }
    for (std::size_t picked : {std::size_t{3}, std::size_t{2000}}) {
        std::vector<Tree::Index> nodes;
        for (Tree::Index x = 1; x < flags.size() && nodes.size() < picked; x += 1 + rng() % (picked < 10 ? 500 : 2))
            nodes.push_back(x);
        for (Tree::Index x : nodes)
            flags[x] ^= 0b101;
        tree.rewriteFlagsOf(nodes, [](Tree::Index, Tree::Flags f) { return static_cast<Tree::Flags>(f ^ 0b101); });
        std::array<std::uint32_t, 2> seen{};
        for (Tree::Index x : tree.inOrder()) {
            ASSERT_EQ(tree.rank<0>(x), seen[0]);
            ASSERT_EQ(tree.rank<1>(x), seen[1]);
            seen[0] += flags[x] & 1u;
            seen[1] += (flags[x] >> 1) & 1u;
        }
        EXPECT_EQ(tree.count<0>(), seen[0]);
        EXPECT_EQ(tree.count<1>(), seen[1]);
    }
}

// Node 0 stands for "no node" in every answer, so it must read as empty whatever happened around
// it, and an index from outside (a stale or forged slot number) must not be taken for a node.
TEST(RankedTree, NoNodeStaysEmptyAndForeignIndicesAreNotNodes)
{
    RankedTree<int, 2> tree;
    std::vector<RankedTree<int, 2>::Index> nodes;
    for (int i = 1; i <= 50; ++i) {
        nodes.push_back(tree.create(i, 0b111));
        tree.insertAt(tree.size(), nodes.back());
    }
    tree.detachAll({nodes.begin(), nodes.begin() + 30});
    for (int i = 0; i < 30; ++i)
        tree.release(nodes[static_cast<std::size_t>(i)]);
    tree.rewriteFlags([](int, std::uint8_t) { return std::uint8_t(0b11); });

    EXPECT_FALSE(tree.holds(0));
    EXPECT_FALSE(tree.holds(nodes[0]));  // released
    EXPECT_FALSE(tree.holds(1000));
    EXPECT_EQ(tree.value(0), 0);
    for (unsigned f = 0; f < 7; ++f)
        EXPECT_FALSE(tree.test(0, f));
    EXPECT_EQ(tree.count<0>(), 20u);

    // A freed slot is used again before the vector grows.
    const auto again = tree.create(99, 0);
    EXPECT_EQ(again, nodes[29]);
    EXPECT_TRUE(tree.holds(again));
}

}  // namespace
