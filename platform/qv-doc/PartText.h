// The text of one XML part of a package, by the rules of its kind: which elements
// hold text, which end a line (a paragraph, a table cell, a shared string, a sheet
// cell), which stand for a tab or a line break, and which are passed over.
#pragma once

#include "platform/qv-doc/XmlParser.h"

#include <string>

namespace qv {

enum class PartRules : std::uint8_t {
    Word,             // WordprocessingML: body, headers, footers, notes, comments
    SharedStrings,    // SpreadsheetML shared strings
    Worksheet,        // SpreadsheetML sheet: inline strings, values, header and footer
    SheetComments,    // SpreadsheetML comments
    ThreadedComments, // the newer threaded comments of sheets
    Drawing,          // DrawingML text: slides, notes, presentation comments
    OpenDocument,     // ODF content and styles (headers, footers)
};

class PartText final : public XmlParser {
public:
    // Text is appended to `out`: UTF-8, each line ended by LF.
    PartText(PartRules rules, std::uint32_t maxDepth, std::string& out);

protected:
    void startElement(std::string_view local, const char** attributes) override;
    void endElement(std::string_view local) override;
    void characters(std::string_view text) override;

private:
    bool isText(std::string_view local) const;
    bool isLine(std::string_view local) const;
    bool isSkipped(std::string_view local) const;
    void put(std::string_view text);
    void endLine();

    PartRules m_rules;
    std::string& m_out;
    std::uint32_t m_depth = 0;
    std::uint32_t m_skipDepth = 0; // depth of the element being passed over; 0 for none
    std::uint32_t m_textOpen = 0;  // text elements open around the characters
    std::uint32_t m_runOpen = 0;   // WordprocessingML runs open
    bool m_sharedCell = false;     // the sheet cell's value is an index of a shared string
    bool m_lineHasText = false;
};

} // namespace qv
