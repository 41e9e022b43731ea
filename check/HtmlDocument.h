#pragma once

#include <QByteArrayView>

#include <gumbo.h>

#include <memory>
#include <vector>

// How far a parse may go. Past maxBytes only the beginning of a page is parsed; past the memory or
// the CPU time, a parse is given up.
struct ParseLimits {
    qsizetype maxBytes = qsizetype(16) << 20;
    // Memory: base plus perByte for every byte parsed. A typical page needs about ten times its
    // size, one made mostly of tags about forty.
    qsizetype baseMemory = qsizetype(64) << 20;
    qsizetype memoryPerByte = 24;
    // Thread CPU time: base plus perMiB for every MiB parsed. Typical pages parse at 5 to 20 MB per
    // CPU second.
    qint64 baseCpuMs = 1000;
    qint64 cpuMsPerMiB = 250;
};

// A page parsed as HTML5, within bounds a hostile page cannot break.
//
// The parser builds its tree in an arena of this object's own, which goes as a whole: freeing the
// parser's tree node by node would recurse once a level and overflow a worker's stack on deeply
// nested pages. Some inputs make the parser quadratic (100,000 unclosed <div> take a minute; others
// use a hundred times their size in memory), so the parse runs under a memory and a CPU-time budget
// that grow with the page; a parse that exceeds either is given up (Outcome::Abandoned). Only the
// first maxBytes of a longer page are parsed (Outcome::Prefix).
class HtmlDocument {
public:
    enum class Outcome { Whole, Prefix, Abandoned };

    explicit HtmlDocument(QByteArrayView page, const ParseLimits& limits = ParseLimits());
    ~HtmlDocument();
    HtmlDocument(const HtmlDocument&) = delete;
    HtmlDocument& operator=(const HtmlDocument&) = delete;

    Outcome outcome() const { return m_outcome; }
    // The document node, or null when the parse was given up.
    const GumboNode* document() const;
    // The bytes parsed: source offsets in the tree count from their start.
    QByteArrayView source() const { return m_source; }
    // The most memory the parse held at once, in bytes.
    qsizetype peakMemory() const;

private:
    class Arena;

    std::unique_ptr<Arena> m_arena;
    GumboOutput* m_output = nullptr;
    QByteArrayView m_source;
    Outcome m_outcome = Outcome::Abandoned;
};

// Walks a tree in document order without recursion, so that no nesting depth reaches the stack.
class TreeWalker {
public:
    explicit TreeWalker(const GumboNode* root) : m_next(root) {}

    // The next node: the root first. With `enter` false, the children of the node returned last are
    // passed over. Null at the end.
    const GumboNode* next(bool enter = true);

private:
    std::vector<std::pair<const GumboVector*, unsigned>> m_stack;
    const GumboNode* m_next;
    const GumboNode* m_last = nullptr;
};

// The children of a document, element or template node; null for the other kinds.
const GumboVector* ChildrenOf(const GumboNode* node);

// An HTML element's attribute value, or null when it has none of that name.
const char* AttributeOf(const GumboNode* element, const char* name);

// Whether the node is an element in the HTML namespace with that tag.
bool IsHtmlElement(const GumboNode* node, GumboTag tag);
