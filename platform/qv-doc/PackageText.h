// The text of an Office Open XML package (docx, xlsx, pptx and their macro and
// template kinds) or an OpenDocument package (odt, ods, odp), told apart by what the
// package says of itself: the content types of OOXML, the mimetype entry (or the
// manifest) of ODF. Parts are read one after the other, each piece decompressed and
// parsed as it comes.
#pragma once

#include "platform/qv-doc/DocumentText.h"
#include "platform/qv-doc/PartText.h"
#include "platform/qv-doc/ZipArchive.h"

#include <memory>
#include <vector>

namespace qv {

class WorkBudget;

class PackageText final : public DocumentText {
public:
    // Text when the archive is a document of a known kind (the reader is then set);
    // NotDocument, OverLimit, Encrypted or Damaged otherwise.
    static DocumentVerdict open(std::unique_ptr<ZipArchive> archive, WorkBudget& budget,
                                std::unique_ptr<PackageText>& reader);

    DocumentVerdict produce(std::string& out, std::size_t most, bool& ended) override;

    struct Part {
        std::uint64_t index;
        PartRules rules;
        int rank; // main text first, then notes, headers and footers, then comments
        std::string name;
    };
    const std::vector<Part>& parts() const { return m_parts; }

private:
    PackageText(std::unique_ptr<ZipArchive> archive, WorkBudget& budget, std::vector<Part> parts);
    static DocumentVerdict openXmlParts(ZipArchive& archive, WorkBudget& budget, std::vector<Part>& parts);
    static DocumentVerdict openDocumentParts(ZipArchive& archive, WorkBudget& budget, std::vector<Part>& parts);

    std::unique_ptr<ZipArchive> m_archive;
    WorkBudget& m_budget;
    std::vector<Part> m_parts;
    std::size_t m_next = 0;
    std::unique_ptr<ZipArchive::Entry> m_entry;
    std::unique_ptr<PartText> m_parser;
    std::vector<char> m_buffer;
};

} // namespace qv
