// What the qv-doc helper reads of each kind of document: which parts, which elements,
// and where the lines end.
#include "tests/documents/Extraction.h"
#include "tests/support/DocumentFiles.h"
#include "tests/support/ProcessRun.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace qv;
using namespace qv::test;

namespace {

using Lines = std::vector<std::string>;

std::string wordPart(const std::string& root, const std::string& inner)
{
    return std::string("<?xml version=\"1.0\"?><w:") + root + " xmlns:w=\"" + kWordNs + "\">" + inner + "</w:" + root + ">";
}

std::string wordParagraph(const std::string& text) { return "<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p>"; }

std::string sheetPart(const std::string& root, const std::string& inner)
{
    return std::string("<?xml version=\"1.0\"?><") + root + " xmlns=\"" + kSheetNs + "\">" + inner + "</" + root + ">";
}

} // namespace

TEST(DocumentTextWord, ParagraphsTableCellsTabsAndBreaksMakeTheLines)
{
    const std::string body =
        // A tab stop definition is no tab in the text; a tab inside a run is.
        "<w:p><w:pPr><w:tabs><w:tab w:val=\"left\" w:pos=\"720\"/></w:tabs></w:pPr>"
        "<w:r><w:t>議事録</w:t></w:r><w:r><w:tab/><w:t>第1回</w:t></w:r></w:p>"
        // Runs of one paragraph join into one line.
        "<w:p><w:r><w:t xml:space=\"preserve\">見積書の </w:t></w:r><w:r><w:t>金額</w:t></w:r></w:p>"
        "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>品名</w:t></w:r></w:p></w:tc>"
        "<w:tc><w:p><w:r><w:t>12,500円</w:t></w:r></w:p></w:tc></w:tr></w:tbl>"
        "<w:p><w:r><w:t>before</w:t><w:br/><w:t>after</w:t></w:r></w:p>"
        "<w:p/>"
        // Deleted text and field codes are not the document's text.
        "<w:p><w:del><w:r><w:delText>deleted words</w:delText></w:r></w:del>"
        "<w:r><w:instrText> PAGE </w:instrText></w:r><w:r><w:t>kept &amp; shown</w:t></w:r></w:p>";
    const Extraction e = extract(wordDocumentXml(body));
    ASSERT_EQ(e.verdict, DocumentVerdict::Text);
    EXPECT_EQ(e.textVerdict, DocumentVerdict::Text);
    EXPECT_EQ(e.lines(), (Lines{"議事録\t第1回", "見積書の 金額", "品名", "12,500円", "before", "after", "kept & shown"}));
}

TEST(DocumentTextWord, HeadersFootersNotesAndCommentsAfterTheBodyOtherPartsNot)
{
    const std::string ct = "application/vnd.openxmlformats-officedocument.wordprocessingml.";
    const std::string doc = wordDocumentXml(
        wordParagraph("本文"),
        {
            {"word/comments.xml", ct + "comments+xml", wordPart("comments", "<w:comment>" + wordParagraph("コメント") + "</w:comment>")},
            {"word/header1.xml", ct + "header+xml", wordPart("hdr", wordParagraph("社外秘ヘッダー"))},
            {"word/footer1.xml", ct + "footer+xml", wordPart("ftr", wordParagraph("フッター"))},
            {"word/footnotes.xml", ct + "footnotes+xml", wordPart("footnotes", "<w:footnote>" + wordParagraph("脚注") + "</w:footnote>")},
            {"word/settings.xml", ct + "settings+xml", wordPart("settings", wordParagraph("settings-text"))},
            // An XML part without a type of its own is none of the document's text.
            {"customXml/item1.xml", "", wordPart("document", wordParagraph("custom-xml-text"))},
        });
    const Extraction e = extract(doc);
    ASSERT_EQ(e.verdict, DocumentVerdict::Text);
    EXPECT_EQ(e.lines(), (Lines{"本文", "脚注", "フッター", "社外秘ヘッダー", "コメント"}));
}

TEST(DocumentTextKinds, MacroAndTemplateKindsAreDocumentsOthersAreNot)
{
    const auto withMain = [](const std::string& name, const std::string& type, const std::string& xml) {
        return openXmlPackage({{name, type, xml}});
    };
    const std::string docm = withMain("word/document.xml", "application/vnd.ms-word.document.macroEnabled.main+xml",
                                      wordPart("document", "<w:body>" + wordParagraph("macro doc") + "</w:body>"));
    EXPECT_EQ(extract(docm).lines(), Lines{"macro doc"});

    const std::string xltx = openXmlPackage(
        {{"xl/workbook.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml",
          sheetPart("workbook", "")},
         {"xl/sharedStrings.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml",
          sheetPart("sst", "<si><t>template sheet</t></si>")}});
    EXPECT_EQ(extract(xltx).lines(), Lines{"template sheet"});

    // A zip with content types of no office kind, a plain zip, an EPUB: no documents.
    const std::string other = openXmlPackage({{"data/x.xml", "application/vnd.example.main+xml", "<x>text</x>"}});
    EXPECT_EQ(extract(other).verdict, DocumentVerdict::NotDocument);
    EXPECT_EQ(extract(zipArchive({{"readme.txt", "plain text"}})).verdict, DocumentVerdict::NotDocument);
    EXPECT_EQ(extract(zipArchive({{"mimetype", "application/epub+zip", true}, {"content.xml", "<x/>"}})).verdict,
              DocumentVerdict::NotDocument);
}

TEST(DocumentTextSheet, SharedStringsCellsCommentsAndHeadersNotPhoneticsOrFormulas)
{
    const std::string strings = sheetPart("sst", "<si><r><t>東京</t></r><r><t>支店</t></r>"
                                                 "<rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh></si><si><t>見積</t></si>");
    const std::string sheet = sheetPart(
        "worksheet", "<sheetData><row r=\"1\">"
                     "<c r=\"A1\" t=\"s\"><v>0</v></c>"
                     "<c r=\"B1\"><v>12500</v></c>"
                     "<c r=\"C1\"><f>SUM(A1:B1)</f><v>99</v></c>"
                     "<c r=\"D1\" t=\"inlineStr\"><is><t>インライン</t></is></c>"
                     "</row></sheetData><headerFooter><oddHeader>&amp;C部外秘</oddHeader></headerFooter>");
    const std::string comments = sheetPart(
        "comments", "<commentList><comment ref=\"A1\"><text><r><t>確認済み</t></r></text></comment></commentList>");
    const std::string ct = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
    const std::string xlsx = openXmlPackage({
        {"xl/workbook.xml", kSheetMain, sheetPart("workbook", "")},
        {"xl/worksheets/sheet1.xml", ct + "worksheet+xml", sheet},
        {"xl/sharedStrings.xml", ct + "sharedStrings+xml", strings},
        {"xl/comments1.xml", ct + "comments+xml", comments},
        {"xl/styles.xml", ct + "styles+xml", sheetPart("styleSheet", "<t>style-text</t>")},
    });
    const Extraction e = extract(xlsx);
    ASSERT_EQ(e.verdict, DocumentVerdict::Text);
    EXPECT_EQ(e.lines(), (Lines{"東京支店", "見積", "12500", "99", "インライン", "&C部外秘", "確認済み"}));
}

TEST(DocumentTextSlides, SlidesInNumberOrderThenNotesNeverLayouts)
{
    std::vector<std::string> texts;
    for (int i = 1; i <= 11; ++i)
        texts.push_back("slide " + std::to_string(i));
    // With a notes page, a layout, and a break inside a paragraph of the notes.
    const std::string a = std::string(" xmlns:p=\"") + kSlideNs + "\" xmlns:a=\"" + kDrawingNs + "\"";
    std::vector<PackagePart> parts{{"ppt/presentation.xml", kSlidesMain, "<p:presentation" + a + "/>"}};
    for (int i = 11; i >= 1; --i) // listed backwards: the order comes from the numbers
        parts.push_back({"ppt/slides/slide" + std::to_string(i) + ".xml",
                         "application/vnd.openxmlformats-officedocument.presentationml.slide+xml",
                         "<p:sld" + a + "><p:txBody><a:p><a:r><a:t>slide " + std::to_string(i)
                             + "</a:t></a:r></a:p></p:txBody></p:sld>"});
    parts.push_back({"ppt/notesSlides/notesSlide1.xml",
                     "application/vnd.openxmlformats-officedocument.presentationml.notesSlide+xml",
                     "<p:notes" + a + "><a:p><a:r><a:t>話す内容</a:t></a:r><a:br/><a:r><a:t>二行目</a:t></a:r></a:p></p:notes>"});
    parts.push_back({"ppt/slideLayouts/slideLayout1.xml",
                     "application/vnd.openxmlformats-officedocument.presentationml.slideLayout+xml",
                     "<p:sldLayout" + a + "><a:p><a:r><a:t>Click to edit</a:t></a:r></a:p></p:sldLayout>"});
    const std::string pptx = openXmlPackage(parts);
    Lines expected = texts;
    expected.push_back("話す内容");
    expected.push_back("二行目");
    EXPECT_EQ(extract(pptx).lines(), expected);
}

TEST(DocumentTextOpenDocument, ParagraphsSpacesTabsBreaksAnnotationsAndHeadersNotDeletions)
{
    const std::string body =
        "<office:text><text:h text:outline-level=\"1\">見出し</text:h>"
        "<text:p>a<text:s text:c=\"3\"/>b<text:tab/>c<text:line-break/>d</text:p>"
        "<text:p><text:span>span </text:span>text\n continues</text:p>"
        "<text:p><office:annotation><text:p>コメント</text:p></office:annotation>本文</text:p>"
        "<text:tracked-changes><text:changed-region><text:deletion><text:p>gone</text:p></text:deletion>"
        "</text:changed-region></text:tracked-changes></office:text>";
    const std::string styles =
        "<style:master-page style:name=\"Standard\"><style:header><text:p>ヘッダー</text:p></style:header></style:master-page>";
    const Extraction e = extract(openDocument("application/vnd.oasis.opendocument.text", body, styles));
    ASSERT_EQ(e.verdict, DocumentVerdict::Text);
    EXPECT_EQ(e.lines(), (Lines{"見出し", "a   b\tc", "d", "span text  continues", "コメント", "本文", "ヘッダー"}));
}

TEST(DocumentTextOpenDocument, SpreadsheetCellsAndPresentationFramesAreLines)
{
    const std::string ods = openDocument(
        "application/vnd.oasis.opendocument.spreadsheet",
        "<office:spreadsheet><table:table><table:table-row><table:table-cell office:value=\"1234\">"
        "<text:p>1,234</text:p></table:table-cell><table:table-cell><text:p>売上</text:p></table:table-cell>"
        "</table:table-row></table:table></office:spreadsheet>");
    EXPECT_EQ(extract(ods).lines(), (Lines{"1,234", "売上"}));
    const std::string odp = openDocument(
        "application/vnd.oasis.opendocument.presentation",
        "<office:presentation><draw:page><draw:frame><draw:text-box><text:p>発表</text:p></draw:text-box></draw:frame>"
        "</draw:page></office:presentation>");
    EXPECT_EQ(extract(odp).lines(), Lines{"発表"});
    // Without its mimetype entry, the manifest tells the kind.
    const std::string bare = openDocument("application/vnd.oasis.opendocument.text",
                                          "<office:text><text:p>manifest only</text:p></office:text>", {}, false);
    EXPECT_EQ(extract(bare).lines(), Lines{"manifest only"});
}

TEST(DocumentTextPdf, JapaneseThroughAPredefinedCmapPageByPage)
{
    const std::string pdf = japanesePdf({{"見積書 第3版", "金額 12,500円"}, {"議事録 二頁目"}});
    const Extraction e = extract(pdf);
    ASSERT_EQ(e.verdict, DocumentVerdict::Text);
    EXPECT_EQ(e.lines(), (Lines{"見積書 第3版", "金額 12,500円", "議事録 二頁目"})) << e.text;
}

TEST(DocumentTextPdf, EmbeddedCidFontMadeByCairo)
{
    if (std::system("/usr/bin/python3 -c 'import cairo' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-cairo is not installed (scripts/install-deps.sh installs it)";
    char dir[] = "/tmp/qv-cairo-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/cairo.pdf";
    const std::string script = "import cairo\n"
                               "s = cairo.PDFSurface('" + path + "', 300, 200)\n"
                               "c = cairo.Context(s)\n"
                               "c.select_font_face('Noto Sans CJK JP')\n"
                               "c.set_font_size(14)\n"
                               "c.move_to(20, 50); c.show_text('社内会議の議事録')\n"
                               "c.move_to(20, 80); c.show_text('Second line')\n"
                               "s.finish()\n";
    const ProcessResult made = runProcess({"/usr/bin/python3", "-c", script});
    ASSERT_EQ(made.status, 0) << made.err;
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::system(("rm -rf '" + std::string(dir) + "'").c_str());
    EXPECT_EQ(extract(bytes.str()).lines(), (Lines{"社内会議の議事録", "Second line"}));
}

TEST(DocumentTextPdf, ImageOnlyPdfIsADocumentWithoutText)
{
    const Extraction e = extract(imageOnlyPdf());
    EXPECT_EQ(e.verdict, DocumentVerdict::Text);
    EXPECT_EQ(e.textVerdict, DocumentVerdict::Text);
    EXPECT_TRUE(e.text.empty()) << e.text;
}
