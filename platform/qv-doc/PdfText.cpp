#include "platform/qv-doc/PdfText.h"

#include "platform/qv-doc/WorkBudget.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

namespace qv {
namespace {

void quiet(const std::string&, void*) {}

} // namespace

DocumentVerdict PdfText::open(int fd, WorkBudget& budget, std::unique_ptr<PdfText>& reader)
{
    // poppler reports every oddity of a damaged file on stderr; the helper has no use
    // for those.
    poppler::set_debug_error_function(&quiet, nullptr);
    // The spool is reached through this process's own descriptor: the helper opens no
    // path of the user's.
    std::unique_ptr<poppler::document> document(
        poppler::document::load_from_file("/proc/self/fd/" + std::to_string(fd)));
    if (!document)
        return DocumentVerdict::Damaged;
    if (document->is_locked())
        return DocumentVerdict::Encrypted;
    reader.reset(new PdfText(std::move(document), budget));
    return DocumentVerdict::Text;
}

PdfText::PdfText(std::unique_ptr<poppler::document> document, WorkBudget& budget)
    : m_document(std::move(document)), m_budget(budget), m_pages(m_document->pages())
{
}

PdfText::~PdfText() = default;

DocumentVerdict PdfText::produce(std::string& out, std::size_t most, bool& ended)
{
    ended = false;
    while (out.size() < most) {
        if (!m_budget.timeLeft())
            return DocumentVerdict::OverLimit;
        if (m_next >= m_pages) {
            ended = true;
            return DocumentVerdict::Text;
        }
        const std::unique_ptr<poppler::page> page(m_document->create_page(m_next++));
        if (!page)
            continue;
        const poppler::byte_array text =
            page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout).to_utf8();
        if (!m_budget.takeDecompressed(text.size()))
            return DocumentVerdict::OverLimit;
        // Blank lines (between blocks, and the form feed that ends a page) hold nothing
        // to find; every page ends a line.
        for (char c : text) {
            if (c == '\f' || c == '\r')
                c = '\n';
            if (c == '\n' && m_atLineStart)
                continue;
            out += c;
            m_atLineStart = c == '\n';
        }
        if (!m_atLineStart) {
            out += '\n';
            m_atLineStart = true;
        }
    }
    return DocumentVerdict::Text;
}

} // namespace qv
