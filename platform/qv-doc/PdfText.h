// The text of a PDF, page by page, through poppler: each text line a line, in the
// reading order poppler finds (as its pdftotext does by default).
#pragma once

#include "platform/qv-doc/DocumentText.h"

#include <memory>

namespace poppler {
class document;
}

namespace qv {

class WorkBudget;

class PdfText final : public DocumentText {
public:
    // Text with the reader set, Encrypted when a password is needed, Damaged when
    // poppler cannot open the file. The file is the helper's spool, by descriptor.
    static DocumentVerdict open(int fd, WorkBudget& budget, std::unique_ptr<PdfText>& reader);
    ~PdfText() override;

    DocumentVerdict produce(std::string& out, std::size_t most, bool& ended) override;

private:
    PdfText(std::unique_ptr<poppler::document> document, WorkBudget& budget);

    std::unique_ptr<poppler::document> m_document;
    WorkBudget& m_budget;
    int m_pages = 0;
    int m_next = 0;
    bool m_atLineStart = true;
};

} // namespace qv
