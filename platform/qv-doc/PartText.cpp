#include "platform/qv-doc/PartText.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

namespace qv {
namespace {

bool isOneOf(std::string_view local, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), local) != names.end();
}

// The header and footer texts of a sheet, with their formatting codes.
bool isSheetHeaderFooter(std::string_view local)
{
    return isOneOf(local, {"oddHeader", "oddFooter", "evenHeader", "evenFooter", "firstHeader", "firstFooter"});
}

} // namespace

PartText::PartText(PartRules rules, std::uint32_t maxDepth, std::string& out)
    : XmlParser(maxDepth), m_rules(rules), m_out(out)
{
}

bool PartText::isText(std::string_view local) const
{
    switch (m_rules) {
    case PartRules::Word:
    case PartRules::SharedStrings:
    case PartRules::SheetComments:
        return local == "t";
    case PartRules::Worksheet:
        return local == "t" || (local == "v" && !m_sharedCell) || isSheetHeaderFooter(local);
    case PartRules::ThreadedComments:
        return local == "text";
    case PartRules::Drawing:
        return local == "t" || local == "text";
    case PartRules::OpenDocument:
        return local == "p" || local == "h";
    }
    return false;
}

bool PartText::isLine(std::string_view local) const
{
    switch (m_rules) {
    case PartRules::Word: return local == "p" || local == "tc";
    case PartRules::SharedStrings: return local == "si";
    case PartRules::Worksheet: return local == "c" || isSheetHeaderFooter(local);
    case PartRules::SheetComments: return local == "comment";
    case PartRules::ThreadedComments: return local == "threadedComment";
    case PartRules::Drawing: return local == "p" || local == "cm";
    case PartRules::OpenDocument: return local == "p" || local == "h";
    }
    return false;
}

bool PartText::isSkipped(std::string_view local) const
{
    switch (m_rules) {
    // Phonetic guides (furigana) repeat the text in kana.
    case PartRules::SharedStrings:
    case PartRules::SheetComments: return local == "rPh";
    case PartRules::Worksheet: return local == "rPh" || local == "f" || local == "extLst";
    // Text deleted under change tracking is no longer the document's.
    case PartRules::OpenDocument: return local == "tracked-changes";
    default: return false;
    }
}

void PartText::put(std::string_view text)
{
    if (text.empty())
        return;
    // Line ends come from the elements only: a line feed in the characters is a space
    // (as ODF collapses it, and as Word shows a stray one).
    const std::size_t from = m_out.size();
    m_out.append(text);
    for (std::size_t i = from; i < m_out.size(); ++i)
        if (m_out[i] == '\n' || m_out[i] == '\r' || m_out[i] == '\t')
            m_out[i] = ' ';
    m_lineHasText = true;
}

void PartText::endLine()
{
    if (!m_lineHasText)
        return;
    m_out += '\n';
    m_lineHasText = false;
}

void PartText::startElement(std::string_view local, const char** attributes)
{
    ++m_depth;
    if (m_skipDepth)
        return;
    if (isSkipped(local)) {
        m_skipDepth = m_depth;
        return;
    }
    if (m_rules == PartRules::Worksheet && local == "c") {
        const char* type = attribute(attributes, "t");
        m_sharedCell = type && std::string_view(type) == "s";
    }
    if (m_rules == PartRules::Word && local == "r")
        ++m_runOpen;
    if (isText(local)) {
        ++m_textOpen;
        return;
    }
    // What stands for a character inside the text.
    switch (m_rules) {
    case PartRules::Word:
        if (m_runOpen == 0)
            break; // w:tab also defines tab stops, outside runs
        if (local == "tab") {
            m_out += '\t';
            m_lineHasText = true;
        } else if (local == "br" || local == "cr") {
            m_lineHasText = true;
            endLine();
        } else if (local == "noBreakHyphen") {
            put("-");
        }
        break;
    case PartRules::Drawing:
        if (local == "br") {
            m_lineHasText = true;
            endLine();
        }
        break;
    case PartRules::OpenDocument:
        if (m_textOpen == 0)
            break;
        if (local == "s") {
            const char* count = attribute(attributes, "c");
            const long n = count ? std::strtol(count, nullptr, 10) : 1;
            m_out.append(static_cast<std::size_t>(std::clamp(n, 1L, 1000L)), ' ');
            m_lineHasText = true;
        } else if (local == "tab") {
            m_out += '\t';
            m_lineHasText = true;
        } else if (local == "line-break") {
            m_lineHasText = true;
            endLine();
        }
        break;
    default:
        break;
    }
}

void PartText::endElement(std::string_view local)
{
    const std::uint32_t depth = m_depth--;
    if (m_skipDepth) {
        if (depth == m_skipDepth)
            m_skipDepth = 0;
        return;
    }
    if (m_rules == PartRules::Word && local == "r" && m_runOpen > 0)
        --m_runOpen;
    if (isText(local) && m_textOpen > 0)
        --m_textOpen;
    if (isLine(local))
        endLine();
}

void PartText::characters(std::string_view text)
{
    if (m_skipDepth == 0 && m_textOpen > 0)
        put(text);
}

} // namespace qv
