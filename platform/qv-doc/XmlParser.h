// An expat parser with the helper's bounds: no document type declaration at all (so
// no entity, external or internal, is ever expanded: package parts have none), a
// depth limit, and a cap on the memory the parser itself allocates. Element and
// attribute names reach the hooks as their local names; namespaces are left aside,
// since the parts of one format use the same local names in their several versions.
#pragma once

#include "platform/DocumentReader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

struct XML_ParserStruct;

namespace qv {

class XmlParser {
public:
    // Memory the parser may hold: names, attributes and the unparsed tail of a piece.
    static constexpr std::size_t kMaxParserMemory = 32u << 20;

    // The memory one parser has allocated (XmlParser.cpp).
    struct Heap;

    explicit XmlParser(std::uint32_t maxDepth);
    virtual ~XmlParser();
    XmlParser(const XmlParser&) = delete;
    XmlParser& operator=(const XmlParser&) = delete;

    // The next piece of the part; `last` after its end. False, with the verdict set
    // (Damaged or OverLimit), when the part is not well-formed or over a bound.
    bool feed(const char* data, std::size_t size, bool last, DocumentVerdict& verdict);

    // A local name of an element or attribute: what follows the namespace.
    static std::string_view localName(const char* name);
    // The value of the attribute with this local name, or nothing.
    static const char* attribute(const char** attributes, std::string_view local);

protected:
    virtual void startElement(std::string_view local, const char** attributes) = 0;
    virtual void endElement(std::string_view local) = 0;
    virtual void characters(std::string_view text) = 0;

private:
    static void onStart(void* self, const char* name, const char** attributes);
    static void onEnd(void* self, const char* name);
    static void onCharacters(void* self, const char* text, int length);
    static void onDoctype(void* self, const char* name, const char* system, const char* publicId, int internal);
    void stop(DocumentVerdict verdict);

    Heap* m_heap;
    XML_ParserStruct* m_parser = nullptr;
    std::uint32_t m_maxDepth;
    std::uint32_t m_depth = 0;
    bool m_stopped = false;
    DocumentVerdict m_stopVerdict = DocumentVerdict::Damaged;
};

} // namespace qv
