// The content match over documents, through the folder walk: a document is found by
// its text, not its bytes, on the line rules of text files; the check box turns it
// off; what is no document is searched as before; hostile files cost only themselves.
#include "platform/LocalFileSystem.h"
#include "search/CriteriaReader.h"
#include "search/FolderWalk.h"
#include "search/SearchState.h"
#include "search/StopRequest.h"
#include "tests/support/DocumentFiles.h"
#include "tests/support/FakeFileTypes.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace qv;
using namespace qv::test;

namespace {

using Strings = std::vector<std::string>;

struct Search {
    SearchCriteria criteria;
    SearchState state;
    RecordingSink sink;
    StopRequest stop;
    FakeFileTypes types;

    Search(FileSystem& files, const std::string& root, const std::string& containing, bool documents = true)
    {
        SearchFormValues form;
        form.containing = CheckState::Checked;
        form.containingText = containing;
        form.documents = documents ? CheckState::Checked : CheckState::Unchecked;
        SearchHistories histories;
        CriteriaReader::read(form, {}, criteria, histories);
        FolderWalk walk(criteria, state, {files, types, sink, stop});
        walk.walk(root);
    }

    // "name|match string" of every row, sorted.
    Strings found() const
    {
        Strings out;
        for (std::int64_t i = 0; i < sink.rows.count(); ++i)
            out.push_back(sink.rows.at(i).cell(Column::Name) + "|" + sink.rows.at(i).cell(Column::MatchString));
        std::sort(out.begin(), out.end());
        return out;
    }
};

std::string bigWord(const std::string& last)
{
    // Enough paragraphs that the text goes to the search in several pieces.
    std::vector<std::string> paragraphs;
    for (int i = 0; i < 40000; ++i)
        paragraphs.push_back("filler paragraph number " + std::to_string(i));
    paragraphs.push_back(last);
    return wordDocument(paragraphs);
}

} // namespace

TEST(DocumentMatch, EveryKindIsFoundByItsTextWithTheStringAsTheCriteriaHoldIt)
{
    TempTree tree;
    tree.add({"minutes.docx", wordDocument({"第3回 議事録", "Hello World"})});
    tree.add({"estimate.xlsx", sheetDocument({"見積金額", "Hello Sheet"})});
    tree.add({"talk.pptx", slidesDocument({"発表 Hello"})});
    tree.add({"memo.odt", odfText({"メモ Hello"})});
    tree.add({"contract.pdf", japanesePdf({{"契約書 Hello"}})});
    tree.add({"plain.txt", "Hello text\n"});
    LocalFileSystem files;
    Search search(files, tree.root(), "HELLO");
    EXPECT_EQ(search.found(), (Strings{"contract.pdf|hello", "estimate.xlsx|hello", "memo.odt|hello",
                                       "minutes.docx|hello", "plain.txt|hello", "talk.pptx|hello"}));
    Search japanese(files, tree.root(), "議事録;見積金額;契約書;発表;メモ");
    EXPECT_EQ(japanese.found(), (Strings{"contract.pdf|契約書", "estimate.xlsx|見積金額", "memo.odt|メモ",
                                         "minutes.docx|議事録", "talk.pptx|発表"}));
    EXPECT_EQ(search.state.documentsGivenUp.total(), 0);
}

TEST(DocumentMatch, TextNotBytesOnTheLineRulesOfText)
{
    TempTree tree;
    tree.add({"a.docx", wordDocument({"first paragraph", "second paragraph"})});
    LocalFileSystem files;
    // The zip's own bytes hold "word/document.xml"; the document's text does not.
    EXPECT_TRUE(Search(files, tree.root(), "document.xml").found().empty());
    // Two paragraphs are two lines: no string spans them.
    EXPECT_TRUE(Search(files, tree.root(), "paragraphsecond").found().empty());
    EXPECT_TRUE(Search(files, tree.root(), "paragraph second").found().empty());
    EXPECT_EQ(Search(files, tree.root(), "FIRST PARAGRAPH").found(), Strings{"a.docx|first paragraph"});
    // The first string in list order among those of the first line holding any.
    EXPECT_EQ(Search(files, tree.root(), "second;first").found(), Strings{"a.docx|first"});
}

TEST(DocumentMatch, TheCheckBoxOffSearchesEveryFileAsItsBytes)
{
    TempTree tree;
    tree.add({"a.docx", wordDocument({"unique words here"})});
    LocalFileSystem files;
    EXPECT_TRUE(Search(files, tree.root(), "unique words", false).found().empty());
    EXPECT_EQ(Search(files, tree.root(), "document.xml", false).found(), Strings{"a.docx|document.xml"});
}

TEST(DocumentMatch, ContentDecidesNotTheName)
{
    TempTree tree;
    tree.add({"renamed.bin", wordDocument({"hidden minutes"})});
    tree.add({"fake.docx", "hidden minutes in a text file named like a document\n"});
    tree.add({"archive.zip", zipArchive({{"notes.txt", "hidden minutes stored in a plain zip", true}})});
    tree.add({"deflated.zip", zipArchive({{"notes.txt", "hidden minutes deflated"}})});
    LocalFileSystem files;
    // A plain zip is searched as its bytes, as before: stored text is found, deflated not.
    EXPECT_EQ(Search(files, tree.root(), "hidden minutes").found(),
              (Strings{"archive.zip|hidden minutes", "fake.docx|hidden minutes", "renamed.bin|hidden minutes"}));
}

TEST(DocumentMatch, HostileFilesAreGivenUpCountedAndTheWalkGoesOn)
{
    TempTree tree;
    tree.add({"1-bomb.docx", wordDocumentXml("<w:p><w:r><w:t>" + std::string(300u << 20, ' ') + "needle</w:t></w:r></w:p>")});
    tree.add({"2-truncated.docx", wordDocument({"needle"}).substr(0, 200)});
    tree.add({"3-locked.pdf", encryptedPdf()});
    tree.add({"4-xxe.docx", openXmlPackage({{"word/document.xml", kWordMain,
                                             "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY e SYSTEM \"/etc/passwd\">]>"
                                             "<d>&e;needle</d>"}})});
    tree.add({"5-image.pdf", imageOnlyPdf()});
    tree.add({"6-good.docx", wordDocument({"the needle"})});
    tree.add({"7-good.txt", "needle\n"});
    LocalFileSystem files;
    Search search(files, tree.root(), "needle");
    EXPECT_EQ(search.found(), (Strings{"6-good.docx|needle", "7-good.txt|needle"}));
    EXPECT_EQ(search.state.documentsGivenUp.overLimit.load(), 1);
    EXPECT_EQ(search.state.documentsGivenUp.encrypted.load(), 1);
    EXPECT_EQ(search.state.documentsGivenUp.damaged.load(), 1);
}

TEST(DocumentMatch, SmallPiecesReadOnceAndFoundAsWithOnePiece)
{
    // Network files come in whatever pieces the reads give: the document is read from
    // them once, its bytes going to the helper as they pass.
    const std::string docx = bigWord("最後の段落 needle");
    const std::string pdf = japanesePdf({{"一頁目"}, {"二頁目 needle"}});
    for (const std::size_t piece : {std::size_t{1000}, std::size_t{1} << 20}) {
        MemoryFileSystem files;
        files.readPiece = piece;
        files.addFile("\\\\H\\s", memoryFile("big.docx", static_cast<std::int64_t>(docx.size())), docx);
        files.addFile("\\\\H\\s", memoryFile("two.pdf", static_cast<std::int64_t>(pdf.size())), pdf);
        Search search(files, "\\\\H\\s", "needle");
        EXPECT_EQ(search.found(), (Strings{"big.docx|needle", "two.pdf|needle"})) << piece;
        EXPECT_EQ(files.bytesRead.load(), static_cast<std::int64_t>(docx.size() + pdf.size())) << piece;
        EXPECT_EQ(files.openReaders.load(), 0);
    }
}

TEST(DocumentMatch, ReadErrorOrStopEndsTheFileWithoutCountingIt)
{
    const std::string docx = bigWord("needle");
    MemoryFileSystem files;
    files.readPiece = 4096;
    files.addFile("\\\\H\\s", memoryFile("broken.docx", static_cast<std::int64_t>(docx.size())), docx);
    files.failingReads.insert("\\\\H\\s\\broken.docx");
    Search failing(files, "\\\\H\\s", "needle");
    EXPECT_TRUE(failing.found().empty());
    EXPECT_EQ(failing.state.documentsGivenUp.total(), 0);
}

TEST(DocumentMatch, FileOverTheSizeLimitIsAZipLikeAnyOtherOrAGivenUpPdf)
{
    // The limit as the walk's reader has it: small here, so that small files pass it.
    class SmallLimit final : public DocumentReader {
    public:
        bool begin(DocumentKind) override { return true; }
        bool feed(const char*, std::size_t size) override
        {
            fed += size;
            return true;
        }
        DocumentVerdict finish(bool complete) override { return complete ? DocumentVerdict::Damaged : DocumentVerdict::OverLimit; }
        FileReader& text() override { std::abort(); }
        DocumentVerdict textVerdict() const override { return DocumentVerdict::Text; }
        std::uint64_t fileLimit() const override { return 100; }
        std::uint64_t fed = 0;
    };
    StopRequest stop;
    RecordingSink sink;
    MemoryFileSystem files;
    const std::string zip = zipArchive({{"a.txt", std::string(500, 'x') + " stored needle", true}});
    files.addFile("\\\\H\\s", memoryFile("big.zip", static_cast<std::int64_t>(zip.size())), zip);
    files.addFile("\\\\H\\s", memoryFile("big.pdf", 1000), "%PDF-1.4\n" + std::string(1000, ' ') + "needle");
    DocumentCounts counts;
    ContentMatcher matcher(files, sink, stop);
    matcher.setStrings({"needle"});
    matcher.setDocuments(true, &counts);
    auto reader = std::make_unique<SmallLimit>();
    SmallLimit* limit = reader.get();
    matcher.setDocumentReader(std::move(reader));
    std::string match;
    EXPECT_TRUE(matcher.match("\\\\H\\s\\big.zip", match));
    EXPECT_EQ(match, "needle");
    EXPECT_LE(limit->fed, 100u);
    EXPECT_FALSE(matcher.match("\\\\H\\s\\big.pdf", match));
    EXPECT_EQ(counts.overLimit.load(), 1);
}
