#include "tests/support/DocumentFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <zip.h>

namespace qv::test {
namespace {

void check(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string("document files: ") + what);
}

// UTF-8 to UTF-16BE code units as hex, for a PDF string through a UCS2 CMap.
std::string utf16Hex(const std::string& text)
{
    std::string hex;
    char buf[8];
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::uint32_t cp = c;
        int len = 1;
        if (c >= 0xF0) {
            cp = c & 0x07;
            len = 4;
        } else if (c >= 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else if (c >= 0xC0) {
            cp = c & 0x1F;
            len = 2;
        }
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
        i += static_cast<std::size_t>(len);
        std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(cp & 0xFFFF));
        hex += buf;
    }
    return hex;
}

// Objects numbered from 1 in order, with the cross-reference table and trailer.
std::string pdfOf(const std::vector<std::string>& objects, const std::string& trailerExtra = {})
{
    std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    char line[32];
    for (std::size_t offset : offsets) {
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R " + trailerExtra + ">>\nstartxref\n"
        + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

std::string stream(const std::string& dictionary, const std::string& data)
{
    return "<< " + dictionary + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

} // namespace

std::string xmlEscaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string zipArchive(const std::vector<ZipItem>& items)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    check(buffer, "buffer");
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    check(archive, "open");
    for (const ZipItem& item : items) {
        zip_source_t* data = zip_source_buffer(archive, item.content.data(), item.content.size(), 0);
        const zip_int64_t index = zip_file_add(archive, item.name.c_str(), data, ZIP_FL_ENC_UTF_8);
        check(index >= 0, "add");
        const auto i = static_cast<zip_uint64_t>(index);
        zip_set_file_compression(archive, i, item.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
        if (!item.password.empty())
            check(zip_file_set_encryption(archive, i, ZIP_EM_AES_256, item.password.c_str()) == 0, "encryption");
    }
    check(zip_close(archive) == 0, "close");
    check(zip_source_open(buffer) == 0, "reopen");
    zip_source_seek(buffer, 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(buffer);
    zip_source_seek(buffer, 0, SEEK_SET);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    check(zip_source_read(buffer, bytes.data(), bytes.size()) == size, "read");
    zip_source_close(buffer);
    zip_source_free(buffer);
    return bytes;
}

std::string openXmlPackage(const std::vector<PackagePart>& parts)
{
    std::string types = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>";
    for (const PackagePart& part : parts)
        if (!part.contentType.empty())
            types += "<Override PartName=\"/" + part.name + "\" ContentType=\"" + part.contentType + "\"/>";
    types += "</Types>";
    std::vector<ZipItem> items{{"[Content_Types].xml", types},
                               {"_rels/.rels",
                                "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
                                "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>"}};
    for (const PackagePart& part : parts)
        items.push_back({part.name, part.xml});
    return zipArchive(items);
}

std::string wordDocumentXml(const std::string& bodyXml, const std::vector<PackagePart>& more)
{
    std::vector<PackagePart> parts{{"word/document.xml", kWordMain,
                                    std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document xmlns:w=\"") + kWordNs
                                        + "\"><w:body>" + bodyXml + "</w:body></w:document>"}};
    parts.insert(parts.end(), more.begin(), more.end());
    return openXmlPackage(parts);
}

std::string wordDocument(const std::vector<std::string>& paragraphs)
{
    std::string body;
    for (const std::string& p : paragraphs)
        body += "<w:p><w:r><w:t xml:space=\"preserve\">" + xmlEscaped(p) + "</w:t></w:r></w:p>";
    return wordDocumentXml(body);
}

std::string sheetDocument(const std::vector<std::string>& sharedStrings, const std::string& moreCellsXml)
{
    std::string strings = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"") + kSheetNs + "\" count=\""
        + std::to_string(sharedStrings.size()) + "\">";
    std::string cells;
    for (std::size_t i = 0; i < sharedStrings.size(); ++i) {
        strings += "<si><t>" + xmlEscaped(sharedStrings[i]) + "</t></si>";
        cells += "<c r=\"A" + std::to_string(i + 1) + "\" t=\"s\"><v>" + std::to_string(i) + "</v></c>";
    }
    strings += "</sst>";
    const std::string sheet = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"") + kSheetNs
        + "\"><sheetData><row r=\"1\">" + cells + moreCellsXml + "</row></sheetData></worksheet>";
    return openXmlPackage({
        {"xl/workbook.xml", kSheetMain,
         std::string("<?xml version=\"1.0\"?><workbook xmlns=\"") + kSheetNs
             + "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\"/></sheets></workbook>"},
        {"xl/sharedStrings.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml", strings},
        {"xl/worksheets/sheet1.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml", sheet},
    });
}

std::string slidesDocument(const std::vector<std::string>& slideTexts)
{
    std::vector<PackagePart> parts{{"ppt/presentation.xml", kSlidesMain,
                                    std::string("<?xml version=\"1.0\"?><p:presentation xmlns:p=\"") + kSlideNs
                                        + "\"/>"}};
    for (std::size_t i = 0; i < slideTexts.size(); ++i)
        parts.push_back({"ppt/slides/slide" + std::to_string(i + 1) + ".xml",
                         "application/vnd.openxmlformats-officedocument.presentationml.slide+xml",
                         std::string("<?xml version=\"1.0\"?><p:sld xmlns:p=\"") + kSlideNs + "\" xmlns:a=\"" + kDrawingNs
                             + "\"><p:cSld><p:spTree><p:sp><p:txBody><a:p><a:r><a:t>" + xmlEscaped(slideTexts[i])
                             + "</a:t></a:r></a:p></p:txBody></p:sp></p:spTree></p:cSld></p:sld>"});
    return openXmlPackage(parts);
}

std::string openDocument(const std::string& mimetype, const std::string& bodyXml, const std::string& stylesXml,
                         bool withMimetypeEntry, const std::string& manifestExtra)
{
    const std::string ns = "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                           "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
                           "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
                           "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\"";
    const std::string content = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content " + ns
        + " office:version=\"1.3\"><office:body>" + bodyXml + "</office:body></office:document-content>";
    const std::string styles = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-styles " + ns
        + " office:version=\"1.3\"><office:master-styles>" + stylesXml + "</office:master-styles></office:document-styles>";
    const std::string manifest =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><manifest:manifest "
        "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" manifest:version=\"1.3\">"
        "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\""
        + mimetype
        + "\"/><manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\">" + manifestExtra
        + "</manifest:file-entry><manifest:file-entry manifest:full-path=\"styles.xml\" "
          "manifest:media-type=\"text/xml\"/></manifest:manifest>";
    std::vector<ZipItem> items;
    if (withMimetypeEntry)
        items.push_back({"mimetype", mimetype, true});
    items.push_back({"content.xml", content});
    items.push_back({"styles.xml", styles});
    items.push_back({"META-INF/manifest.xml", manifest});
    return zipArchive(items);
}

std::string odfText(const std::vector<std::string>& paragraphs)
{
    std::string body = "<office:text>";
    for (const std::string& p : paragraphs)
        body += "<text:p>" + xmlEscaped(p) + "</text:p>";
    body += "</office:text>";
    return openDocument("application/vnd.oasis.opendocument.text", body);
}

std::string japanesePdf(const std::vector<std::vector<std::string>>& pages)
{
    // 1 catalog, 2 pages, 3 font, 4 descendant, 5 descriptor, then page and content pairs.
    std::string kids;
    for (std::size_t i = 0; i < pages.size(); ++i)
        kids += std::to_string(6 + 2 * i) + " 0 R ";
    std::vector<std::string> objects{
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>",
        "<< /Type /Font /Subtype /Type0 /BaseFont /HeiseiKakuGo-W5-UniJIS-UCS2-H /Encoding /UniJIS-UCS2-H "
        "/DescendantFonts [4 0 R] >>",
        "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /HeiseiKakuGo-W5 /CIDSystemInfo << /Registry (Adobe) "
        "/Ordering (Japan1) /Supplement 2 >> /FontDescriptor 5 0 R /DW 1000 /W [1 95 500] >>",
        "<< /Type /FontDescriptor /FontName /HeiseiKakuGo-W5 /Flags 4 /FontBBox [-92 -250 1010 922] /ItalicAngle 0 "
        "/Ascent 880 /Descent -120 /CapHeight 737 /StemV 69 >>",
    };
    for (std::size_t i = 0; i < pages.size(); ++i) {
        std::string content;
        int y = 760;
        for (const std::string& line : pages[i]) {
            content += "BT /F1 14 Tf 50 " + std::to_string(y) + " Td <" + utf16Hex(line) + "> Tj ET\n";
            y -= 30;
        }
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 3 0 R >> >> "
                          "/Contents "
                          + std::to_string(7 + 2 * i) + " 0 R >>");
        objects.push_back(stream("", content));
    }
    return pdfOf(objects);
}

std::string imageOnlyPdf()
{
    std::string pixels;
    for (int i = 0; i < 64 * 64; ++i)
        pixels += static_cast<char>((i * 7) & 0xFF);
    return pdfOf({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << /XObject << /Im1 5 0 R >> >> /Contents 4 0 R >>",
        stream("", "q 128 0 0 128 36 36 cm /Im1 Do Q\n"),
        stream("/Type /XObject /Subtype /Image /Width 64 /Height 64 /ColorSpace /DeviceGray /BitsPerComponent 8", pixels),
    });
}

std::string encryptedPdf()
{
    const std::string o(32, 'O'), u(32, 'U');
    auto hex = [](const std::string& s) {
        std::string h;
        char b[4];
        for (unsigned char c : s) {
            std::snprintf(b, sizeof b, "%02X", c);
            h += b;
        }
        return h;
    };
    std::string pdf = pdfOf(
        {
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>",
            stream("", "BT /F1 12 Tf 10 10 Td (secret) Tj ET"),
            "<< /Filter /Standard /V 1 /R 2 /O <" + hex(o) + "> /U <" + hex(u) + "> /P -4 >>",
        },
        "/Encrypt 5 0 R /ID [<0123456789ABCDEF0123456789ABCDEF> <0123456789ABCDEF0123456789ABCDEF>] ");
    return pdf;
}

namespace {

// Makes the sheet's XML as libzip reads it, piece by piece.
struct LargeSheet {
    std::uint64_t bytes = 0;
    std::uint64_t produced = 0;
    std::string tail;
    std::size_t tailPos = 0;
    bool headDone = false;
    std::string pending;
    std::size_t pendingPos = 0;
    std::uint64_t row = 0;

    std::size_t fill(char* out, std::size_t capacity)
    {
        std::size_t n = 0;
        while (n < capacity) {
            if (pendingPos >= pending.size()) {
                pending.clear();
                pendingPos = 0;
                if (!headDone) {
                    pending = std::string("<?xml version=\"1.0\"?><worksheet xmlns=\"") + kSheetNs + "\"><sheetData>";
                    headDone = true;
                } else if (produced < bytes) {
                    ++row;
                    pending = "<row r=\"" + std::to_string(row) + "\"><c t=\"inlineStr\"><is><t>filler "
                        + std::to_string(row) + "</t></is></c></row>";
                } else if (tailPos == 0) {
                    pending = tail;
                    tailPos = 1;
                } else {
                    break;
                }
                produced += pending.size();
            }
            const std::size_t take = std::min(capacity - n, pending.size() - pendingPos);
            std::memcpy(out + n, pending.data() + pendingPos, take);
            pendingPos += take;
            n += take;
        }
        return n;
    }

    static zip_int64_t callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t cmd)
    {
        auto* self = static_cast<LargeSheet*>(state);
        switch (cmd) {
        case ZIP_SOURCE_OPEN: return 0;
        case ZIP_SOURCE_READ: return static_cast<zip_int64_t>(self->fill(static_cast<char*>(data), length));
        case ZIP_SOURCE_CLOSE: return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR: return 2 * sizeof(int);
        case ZIP_SOURCE_FREE: return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default: return -1;
        }
    }
};

} // namespace

void writeLargeSheet(const std::string& path, std::uint64_t bytes, const std::string& last)
{
    LargeSheet sheet;
    sheet.bytes = bytes;
    sheet.tail = "<row><c t=\"inlineStr\"><is><t>" + xmlEscaped(last) + "</t></is></c></row></sheetData></worksheet>";
    const std::string types = std::string("<?xml version=\"1.0\"?><Types "
                                          "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                                          "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                                          "<Override PartName=\"/xl/workbook.xml\" ContentType=\"")
        + kSheetMain
        + "\"/><Override PartName=\"/xl/worksheets/sheet1.xml\" "
          "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/></Types>";
    const std::string workbook = std::string("<?xml version=\"1.0\"?><workbook xmlns=\"") + kSheetNs + "\"/>";
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    check(archive, "create");
    zip_file_add(archive, "[Content_Types].xml", zip_source_buffer(archive, types.data(), types.size(), 0), 0);
    zip_file_add(archive, "xl/workbook.xml", zip_source_buffer(archive, workbook.data(), workbook.size(), 0), 0);
    zip_source_t* source = zip_source_function(archive, &LargeSheet::callback, &sheet);
    const zip_int64_t index = zip_file_add(archive, "xl/worksheets/sheet1.xml", source, 0);
    check(index >= 0, "add sheet");
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
    check(zip_close(archive) == 0, "close");
}

} // namespace qv::test
