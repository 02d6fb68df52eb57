// Office documents and PDFs made by the tests themselves: zip packages written with
// libzip, PDFs written by hand (a CID font with a predefined Japanese CMap, as
// Japanese PDFs without embedded fonts have).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

struct ZipItem {
    std::string name;
    std::string content;
    bool stored = false;       // kept as it is instead of deflated
    std::string password = {}; // AES-256 encrypted with it when not empty
};

// A zip archive holding the items in order.
std::string zipArchive(const std::vector<ZipItem>& items);

struct PackagePart {
    std::string name;        // "word/document.xml"
    std::string contentType; // an Override of the content types; empty for none
    std::string xml;
};
// An Office Open XML package: [Content_Types].xml (xml and rels by default), the
// package relationships and the parts.
std::string openXmlPackage(const std::vector<PackagePart>& parts);

// Namespaces and content types of the three kinds.
inline constexpr const char* kWordNs = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
inline constexpr const char* kSheetNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr const char* kDrawingNs = "http://schemas.openxmlformats.org/drawingml/2006/main";
inline constexpr const char* kSlideNs = "http://schemas.openxmlformats.org/presentationml/2006/main";
inline constexpr const char* kWordMain = "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";
inline constexpr const char* kSheetMain = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
inline constexpr const char* kSlidesMain =
    "application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml";

// A docx whose body holds these paragraphs (each a run of plain text).
std::string wordDocument(const std::vector<std::string>& paragraphs);
// The body XML given as it is (inside <w:body>), with more parts beside it.
std::string wordDocumentXml(const std::string& bodyXml, const std::vector<PackagePart>& more = {});
// An xlsx: shared strings, and one sheet whose cells index them in order.
std::string sheetDocument(const std::vector<std::string>& sharedStrings, const std::string& moreCellsXml = {});
// A pptx with one slide per entry, each holding one paragraph.
std::string slidesDocument(const std::vector<std::string>& slideTexts);

// An OpenDocument package; the body XML goes inside office:body.
std::string openDocument(const std::string& mimetype, const std::string& bodyXml, const std::string& stylesXml = {},
                         bool withMimetypeEntry = true, const std::string& manifestExtra = {});
std::string odfText(const std::vector<std::string>& paragraphs);

// A PDF with one page per entry; each page holds its lines, in a CID font through the
// UniJIS-UCS2-H CMap (Adobe-Japan1), not embedded.
std::string japanesePdf(const std::vector<std::vector<std::string>>& pages);
// A PDF whose only page shows an image: no text at all.
std::string imageOnlyPdf();
// A PDF with an encryption dictionary that no empty password opens.
std::string encryptedPdf();

// Writes a sheet of about `bytes` of XML (rows of inline strings, the word
// "filler"), then a cell with `last`, into a new xlsx at path: streamed, never
// held in memory.
void writeLargeSheet(const std::string& path, std::uint64_t bytes, const std::string& last);

std::string xmlEscaped(const std::string& text);

} // namespace qv::test
