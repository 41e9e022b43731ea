#include "check/PageExcerpts.h"

#include "check/HtmlDocument.h"
#include "model/CheckDetails.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsAsciiWhitespace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool IsContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xc0) == 0x80;
}

// Collapses text as it arrives and stops taking it once the limit is reached.
class TextCollector {
public:
    void add(QByteArrayView text)
    {
        for (const char c : text) {
            if (m_full)
                return;
            if (IsAsciiWhitespace(c)) {
                m_blank = !m_text.isEmpty();
                continue;
            }
            if (!IsContinuation(c)) {
                if (m_characters + (m_blank ? 2 : 1) > AnchorTextLimit) {
                    m_full = true;
                    return;
                }
                if (m_blank) {
                    m_text += ' ';
                    ++m_characters;
                    m_blank = false;
                }
                ++m_characters;
            } else if (m_characters == 0) {
                continue;  // a stray continuation byte cannot start the text
            }
            m_text += c;
        }
    }

    bool full() const { return m_full; }
    const QByteArray& text() const { return m_text; }

private:
    QByteArray m_text;
    int m_characters = 0;
    bool m_blank = false;
    bool m_full = false;
};

QByteArrayView TextOf(const GumboNode* node)
{
    const char* text = node->v.text.text;
    return text ? QByteArrayView(text, static_cast<qsizetype>(std::strlen(text))) : QByteArrayView();
}

QByteArrayView AttributeText(const GumboNode* element, const char* name)
{
    const char* value = AttributeOf(element, name);
    return value ? QByteArrayView(value, static_cast<qsizetype>(std::strlen(value))) : QByteArrayView();
}

// Where a piece of the element's tag text lies in the source, or -1 when it is not in it.
qsizetype OffsetIn(QByteArrayView source, const GumboStringPiece& piece)
{
    if (!piece.data || piece.length == 0 || piece.data < source.data() || piece.data >= source.data() + source.size())
        return -1;
    const qsizetype offset = piece.data - source.data();
    return static_cast<qsizetype>(piece.length) <= source.size() - offset ? offset : -1;
}

}  // namespace

QByteArray CollapsedText(QByteArrayView text)
{
    TextCollector collector;
    collector.add(text);
    return collector.text();
}

QByteArray AnchorText(const GumboNode* link)
{
    if (IsHtmlElement(link, GUMBO_TAG_AREA))
        return CollapsedText(AttributeText(link, "alt"));
    TextCollector collector;
    const GumboNode* image = nullptr;
    TreeWalker walker(link);
    bool enter = true;
    while (const GumboNode* node = walker.next(enter)) {
        enter = true;
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE: collector.add(TextOf(node)); break;
        case GUMBO_NODE_TEMPLATE: enter = false; break;
        case GUMBO_NODE_ELEMENT:
            if (IsHtmlElement(node, GUMBO_TAG_SCRIPT) || IsHtmlElement(node, GUMBO_TAG_STYLE))
                enter = false;
            else if (!image && IsHtmlElement(node, GUMBO_TAG_IMG) && AttributeOf(node, "alt"))
                image = node;
            break;
        default: break;
        }
        if (collector.full())
            break;
    }
    if (collector.text().isEmpty() && image)
        return CollapsedText(AttributeText(image, "alt"));
    return collector.text();
}

void SetEvidence(QByteArrayView source, qsizetype start, qsizetype end, LinkAnalysis& analysis)
{
    start = std::clamp<qsizetype>(start, 0, source.size());
    end = std::clamp<qsizetype>(end, start, source.size());
    qsizetype from = start;
    qsizetype to = start + ExcerptLimit;
    if (end - start < ExcerptLimit) {
        from = std::max<qsizetype>(0, start - (ExcerptLimit - (end - start)) / 2);
        to = std::min(source.size(), from + ExcerptLimit);
        from = std::max<qsizetype>(0, to - ExcerptLimit);
    }
    to = std::min(to, source.size());
    for (int i = 0; i < 3 && from < start && IsContinuation(source[from]); ++i)
        ++from;
    for (int i = 0; i < 3 && to < source.size() && to > start && IsContinuation(source[to]); ++i)
        --to;
    analysis.evidence = source.sliced(from, to - from).toByteArray();
    analysis.matchStart = static_cast<int>(start - from);
    analysis.matchLength = static_cast<int>(std::min(end, to) - start);
}

void SetEvidence(QByteArrayView source, const GumboNode* element, LinkAnalysis& analysis)
{
    const GumboElement& tag = element->v.element;
    const qsizetype start = OffsetIn(source, tag.original_tag);
    if (start < 0)
        return;
    qsizetype end = start + static_cast<qsizetype>(tag.original_tag.length);
    if (const qsizetype close = OffsetIn(source, tag.original_end_tag); close > start)
        end = close + static_cast<qsizetype>(tag.original_end_tag.length);
    SetEvidence(source, start, end, analysis);
}
