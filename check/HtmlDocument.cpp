#include "check/HtmlDocument.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

namespace {

qint64 ThreadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace

// Bump allocation from chunks, all freed together. The parser frees its temporaries as it goes;
// the last block handed out is taken back, which covers most of them, and the rest wait for the end.
//
// Past its budget the arena leaves the parse by longjmp to the guard around it. Only the parser's
// C frames and the allocator lie in between, none with anything to destroy; what the parser had
// built is in the chunks, which the destructor frees.
class HtmlDocument::Arena {
public:
    Arena(qsizetype memoryBudget, qint64 cpuBudgetNs)
        : m_budget(static_cast<std::size_t>(memoryBudget)), m_deadline(ThreadCpuNs() + cpuBudgetNs)
    {
    }

    ~Arena()
    {
        while (m_chunks) {
            Chunk* next = m_chunks->next;
            std::free(m_chunks);
            m_chunks = next;
        }
    }

    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    GumboOutput* parse(const char* data, std::size_t size)
    {
        GumboOptions options = kGumboDefaultOptions;
        options.allocator = &Arena::allocate;
        options.deallocator = &Arena::deallocate;
        options.userdata = this;
        options.max_errors = 0;  // the analysis reads no parse errors; keeping them costs memory
        return guardedParse(options, data, size);
    }

    std::size_t peak() const { return m_footprint; }

private:
    struct Chunk {
        Chunk* next;
        std::size_t size;
    };
    static constexpr std::size_t Align = 8;
    static constexpr std::size_t HeaderSize = (sizeof(Chunk) + Align - 1) / Align * Align;
    static constexpr std::size_t FirstChunk = std::size_t(64) << 10;
    static constexpr std::size_t LargestChunk = std::size_t(1) << 20;
    static constexpr unsigned ClockEvery = 128;

    // Kept apart so that no local of a function with C++ objects lives across setjmp.
    GumboOutput* guardedParse(const GumboOptions& options, const char* data, std::size_t size)
    {
        std::jmp_buf escape;
        m_escape = &escape;
        if (setjmp(escape) != 0) {
            m_escape = nullptr;
            return nullptr;
        }
        GumboOutput* output = gumbo_parse_with_options(&options, data, size);
        m_escape = nullptr;
        return output;
    }

    [[noreturn]] void giveUp()
    {
        std::jmp_buf* escape = m_escape;
        if (!escape)
            std::abort();  // the parser allocates only inside parse()
        m_escape = nullptr;
        std::longjmp(*escape, 1);
    }

    char* newChunk(std::size_t payload)
    {
        if (m_footprint + payload + HeaderSize > m_budget)
            giveUp();
        auto* chunk = static_cast<Chunk*>(std::malloc(payload + HeaderSize));
        if (!chunk)
            giveUp();
        chunk->next = m_chunks;
        chunk->size = payload;
        m_chunks = chunk;
        m_footprint += payload + HeaderSize;
        return reinterpret_cast<char*>(chunk) + HeaderSize;
    }

    void* take(std::size_t size)
    {
        if (++m_calls % ClockEvery == 0 && ThreadCpuNs() > m_deadline)
            giveUp();
        size = std::max<std::size_t>((size + Align - 1) / Align * Align, Align);
        if (size > m_chunkSize / 4) {
            // A large block gets a chunk of its own; the current chunk stays open for small ones.
            return newChunk(size);
        }
        if (size > m_left) {
            m_next = newChunk(m_chunkSize);
            m_left = m_chunkSize;
            m_chunkSize = std::min(m_chunkSize * 2, LargestChunk);
        }
        void* block = m_next;
        m_last = m_next;
        m_next += size;
        m_left -= size;
        return block;
    }

    void giveBack(void* block)
    {
        if (block && block == m_last) {
            const auto size = static_cast<std::size_t>(m_next - m_last);
            m_next = m_last;
            m_left += size;
            m_last = nullptr;
        }
    }

    static void* allocate(void* self, std::size_t size) { return static_cast<Arena*>(self)->take(size); }
    static void deallocate(void* self, void* block) { static_cast<Arena*>(self)->giveBack(block); }

    Chunk* m_chunks = nullptr;
    char* m_next = nullptr;
    char* m_last = nullptr;
    std::size_t m_left = 0;
    std::size_t m_chunkSize = FirstChunk;
    std::size_t m_footprint = 0;
    const std::size_t m_budget;
    const qint64 m_deadline;
    unsigned m_calls = 0;
    std::jmp_buf* m_escape = nullptr;
};

HtmlDocument::HtmlDocument(QByteArrayView page, const ParseLimits& limits)
{
    m_source = page.first(std::min(page.size(), limits.maxBytes));
    const qsizetype memory = limits.baseMemory + limits.memoryPerByte * m_source.size();
    const qint64 cpuMs = limits.baseCpuMs + limits.cpuMsPerMiB * m_source.size() / (qsizetype(1) << 20);
    m_arena = std::make_unique<Arena>(memory, cpuMs * 1000000);
    m_output = m_arena->parse(m_source.data(), static_cast<std::size_t>(m_source.size()));
    if (!m_output)
        m_outcome = Outcome::Abandoned;
    else
        m_outcome = m_source.size() < page.size() ? Outcome::Prefix : Outcome::Whole;
}

HtmlDocument::~HtmlDocument() = default;

const GumboNode* HtmlDocument::document() const
{
    return m_output ? m_output->document : nullptr;
}

qsizetype HtmlDocument::peakMemory() const
{
    return static_cast<qsizetype>(m_arena->peak());
}

const GumboVector* ChildrenOf(const GumboNode* node)
{
    switch (node->type) {
    case GUMBO_NODE_DOCUMENT: return &node->v.document.children;
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE: return &node->v.element.children;
    default: return nullptr;
    }
}

const char* AttributeOf(const GumboNode* element, const char* name)
{
    if (element->type != GUMBO_NODE_ELEMENT && element->type != GUMBO_NODE_TEMPLATE)
        return nullptr;
    const GumboAttribute* attribute = gumbo_get_attribute(&element->v.element.attributes, name);
    return attribute ? attribute->value : nullptr;
}

bool IsHtmlElement(const GumboNode* node, GumboTag tag)
{
    return node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag &&
        node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

const GumboNode* TreeWalker::next(bool enter)
{
    if (m_next) {
        m_last = std::exchange(m_next, nullptr);
        return m_last;
    }
    if (enter && m_last) {
        if (const GumboVector* children = ChildrenOf(m_last); children && children->length > 0)
            m_stack.emplace_back(children, 0);
    }
    while (!m_stack.empty()) {
        auto& [children, index] = m_stack.back();
        if (index < children->length) {
            m_last = static_cast<const GumboNode*>(children->data[index++]);
            return m_last;
        }
        m_stack.pop_back();
    }
    m_last = nullptr;
    return nullptr;
}
