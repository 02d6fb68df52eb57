#include "platform/qv-doc/XmlParser.h"

#include <cstdlib>
#include <cstring>
#include <expat.h>
#include <new>

namespace qv {
namespace {

// Names come as "namespace<separator>local"; a line feed cannot occur in a URI.
constexpr char kNamespaceSeparator = '\n';

} // namespace

// What one parser has allocated; every block carries a pointer to its heap, so that
// free and realloc need no global state, and malloc finds the heap of the parser
// being called through `current`. The helper runs one thread.
struct XmlParser::Heap {
    std::size_t used = 0;
    bool exceeded = false;
    static Heap* current;

    struct alignas(std::max_align_t) Header {
        Heap* heap;
        std::size_t size;
    };

    static void* allocate(std::size_t size)
    {
        Heap* heap = current;
        if (!heap || size > kMaxParserMemory - heap->used) {
            if (heap)
                heap->exceeded = true;
            return nullptr;
        }
        auto* header = static_cast<Header*>(std::malloc(sizeof(Header) + size));
        if (!header)
            return nullptr;
        header->heap = heap;
        header->size = size;
        heap->used += size;
        return header + 1;
    }
    static void release(void* block)
    {
        if (!block)
            return;
        Header* header = static_cast<Header*>(block) - 1;
        header->heap->used -= header->size;
        std::free(header);
    }
    static void* reallocate(void* block, std::size_t size)
    {
        if (!block)
            return allocate(size);
        Header* header = static_cast<Header*>(block) - 1;
        Heap* heap = header->heap;
        if (size > header->size && size - header->size > kMaxParserMemory - heap->used) {
            heap->exceeded = true;
            return nullptr;
        }
        auto* moved = static_cast<Header*>(std::realloc(header, sizeof(Header) + size));
        if (!moved)
            return nullptr;
        heap->used = heap->used - moved->size + size;
        moved->size = size;
        return moved + 1;
    }
};

XmlParser::Heap* XmlParser::Heap::current = nullptr;

namespace {

// Sets the heap that expat's allocations go to for the length of one call.
class HeapScope final {
public:
    explicit HeapScope(XmlParser::Heap* heap) : m_previous(XmlParser::Heap::current) { XmlParser::Heap::current = heap; }
    ~HeapScope() { XmlParser::Heap::current = m_previous; }
    HeapScope(const HeapScope&) = delete;
    HeapScope& operator=(const HeapScope&) = delete;

private:
    XmlParser::Heap* m_previous;
};

const XML_Memory_Handling_Suite kSuite = {&XmlParser::Heap::allocate, &XmlParser::Heap::reallocate,
                                         &XmlParser::Heap::release};

} // namespace

XmlParser::XmlParser(std::uint32_t maxDepth) : m_heap(new Heap), m_maxDepth(maxDepth)
{
    HeapScope scope(m_heap);
    m_parser = XML_ParserCreate_MM(nullptr, &kSuite, &kNamespaceSeparator);
    if (!m_parser)
        return;
    XML_SetUserData(m_parser, this);
    XML_SetElementHandler(m_parser, &XmlParser::onStart, &XmlParser::onEnd);
    XML_SetCharacterDataHandler(m_parser, &XmlParser::onCharacters);
    XML_SetStartDoctypeDeclHandler(m_parser, &XmlParser::onDoctype);
    // Never read an external DTD or entity: no handler loads one, and this says so.
    XML_SetParamEntityParsing(m_parser, XML_PARAM_ENTITY_PARSING_NEVER);
}

XmlParser::~XmlParser()
{
    if (m_parser) {
        HeapScope scope(m_heap);
        XML_ParserFree(m_parser);
    }
    delete m_heap;
}

std::string_view XmlParser::localName(const char* name)
{
    const char* separator = std::strrchr(name, kNamespaceSeparator);
    return separator ? std::string_view(separator + 1) : std::string_view(name);
}

const char* XmlParser::attribute(const char** attributes, std::string_view local)
{
    for (const char** a = attributes; a && a[0]; a += 2)
        if (localName(a[0]) == local)
            return a[1];
    return nullptr;
}

bool XmlParser::feed(const char* data, std::size_t size, bool last, DocumentVerdict& verdict)
{
    if (!m_parser) {
        verdict = DocumentVerdict::OverLimit;
        return false;
    }
    if (m_stopped) {
        verdict = m_stopVerdict;
        return false;
    }
    HeapScope scope(m_heap);
    // expat takes an int length: big pieces go in parts.
    constexpr std::size_t kLargest = 1u << 30;
    do {
        const std::size_t piece = size < kLargest ? size : kLargest;
        const bool final = last && piece == size;
        const XML_Status status = XML_Parse(m_parser, data, static_cast<int>(piece), final ? XML_TRUE : XML_FALSE);
        if (status != XML_STATUS_OK) {
            if (!m_stopped)
                m_stopVerdict = m_heap->exceeded || XML_GetErrorCode(m_parser) == XML_ERROR_NO_MEMORY
                    ? DocumentVerdict::OverLimit
                    : DocumentVerdict::Damaged;
            m_stopped = true;
            verdict = m_stopVerdict;
            return false;
        }
        data += piece;
        size -= piece;
    } while (size > 0);
    return true;
}

void XmlParser::stop(DocumentVerdict verdict)
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_stopVerdict = verdict;
    XML_StopParser(m_parser, XML_FALSE);
}

void XmlParser::onStart(void* self, const char* name, const char** attributes)
{
    auto* p = static_cast<XmlParser*>(self);
    if (p->m_stopped)
        return;
    if (++p->m_depth > p->m_maxDepth) {
        p->stop(DocumentVerdict::OverLimit);
        return;
    }
    p->startElement(localName(name), attributes);
}

void XmlParser::onEnd(void* self, const char* name)
{
    auto* p = static_cast<XmlParser*>(self);
    if (p->m_stopped)
        return;
    --p->m_depth;
    p->endElement(localName(name));
}

void XmlParser::onCharacters(void* self, const char* text, int length)
{
    auto* p = static_cast<XmlParser*>(self);
    if (!p->m_stopped && length > 0)
        p->characters(std::string_view(text, static_cast<std::size_t>(length)));
}

void XmlParser::onDoctype(void* self, const char*, const char*, const char*, int)
{
    // Package parts never declare a document type; one that does is no part of a
    // document this reader trusts, and its entities stay unread.
    static_cast<XmlParser*>(self)->stop(DocumentVerdict::Damaged);
}

} // namespace qv
