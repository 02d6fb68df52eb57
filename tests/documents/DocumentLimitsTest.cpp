// Hostile and broken files: the helper gives them up within its limits, reads nothing
// outside them, and the next file is read as if nothing had happened.
#include "tests/documents/Extraction.h"
#include "tests/support/DocumentFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace qv;
using namespace qv::test;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The most memory the helper has held (kB), from the kernel's count.
long peakKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

class TempFolder final {
public:
    TempFolder()
    {
        char name[] = "/tmp/qv-doc-test-XXXXXX";
        m_path = mkdtemp(name);
    }
    ~TempFolder() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    std::string path(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string wordBody(const std::string& inner)
{
    return std::string("<?xml version=\"1.0\"?><w:document xmlns:w=\"") + kWordNs + "\"><w:body>" + inner
        + "</w:body></w:document>";
}

} // namespace

TEST(DocumentLimits, ZipBombStopsAtTheUncompressedLimitAndTheNextFileIsRead)
{
    // 64 MiB of text inside one paragraph deflates to about 64 KiB.
    const std::string bomb = wordDocumentXml("<w:p><w:r><w:t>" + std::string(64u << 20, 'a') + "</w:t></w:r></w:p>"
                                             "<w:p><w:r><w:t>after the bomb</w:t></w:r></w:p>");
    ASSERT_LT(bomb.size(), 1u << 20);
    DocumentLimits limits;
    limits.uncompressedBytes = 8u << 20;
    DocumentClient client(QV_DOC_HELPER_PATH);
    client.setLimits(limits);
    const Extraction e = extract(client, bomb);
    ASSERT_EQ(e.verdict, DocumentVerdict::Text);
    EXPECT_EQ(e.textVerdict, DocumentVerdict::OverLimit);
    EXPECT_LE(e.text.size(), limits.uncompressedBytes);
    EXPECT_EQ(e.text.find("after the bomb"), std::string::npos);
    EXPECT_EQ(extract(client, wordDocument({"next file"})).lines(), std::vector<std::string>{"next file"});
}

TEST(DocumentLimits, TooManyEntriesAndTooDeepXmlAreOverTheLimit)
{
    std::vector<PackagePart> parts{{"word/document.xml", kWordMain, wordBody("<w:p><w:r><w:t>x</w:t></w:r></w:p>")}};
    for (int i = 0; i < 40; ++i)
        parts.push_back({"word/media/item" + std::to_string(i) + ".xml", "", "<x/>"});
    DocumentLimits limits;
    limits.zipEntries = 20;
    EXPECT_EQ(extract(openXmlPackage(parts), limits).verdict, DocumentVerdict::OverLimit);

    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<w:sdt>";
    deep += "<w:p><w:r><w:t>deep down</w:t></w:r></w:p>";
    for (int i = 0; i < 5000; ++i)
        deep += "</w:sdt>";
    const Extraction e = extract(wordDocumentXml(deep));
    EXPECT_EQ(e.textVerdict, DocumentVerdict::OverLimit);
    EXPECT_EQ(e.text.find("deep down"), std::string::npos);
}

TEST(DocumentLimits, EntitiesAreNeverExpandedExternalOrInternal)
{
    TempFolder folder;
    const std::string secret = folder.path("secret.txt");
    std::ofstream(secret) << "TOP-SECRET-LINE\n";
    const std::string xxe = std::string("<?xml version=\"1.0\"?><!DOCTYPE w:document [<!ENTITY xxe SYSTEM \"file://")
        + secret + "\">]><w:document xmlns:w=\"" + kWordNs + "\"><w:body><w:p><w:r><w:t>&xxe;</w:t></w:r></w:p>"
        + "</w:body></w:document>";
    const Extraction external = extract(openXmlPackage({{"word/document.xml", kWordMain, xxe}}));
    EXPECT_EQ(external.textVerdict, DocumentVerdict::Damaged);
    EXPECT_EQ(external.text.find("TOP-SECRET"), std::string::npos);

    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE w:document [<!ENTITY l0 \"lol\">";
    for (int i = 1; i <= 10; ++i)
        laughs += "<!ENTITY l" + std::to_string(i) + " \"" + [&] {
            std::string s;
            for (int k = 0; k < 10; ++k)
                s += "&l" + std::to_string(i - 1) + ";";
            return s;
        }() + "\">";
    laughs += std::string("]><w:document xmlns:w=\"") + kWordNs + "\"><w:body><w:p><w:r><w:t>&l10;</w:t></w:r></w:p>"
        + "</w:body></w:document>";
    const auto start = Clock::now();
    const Extraction bomb = extract(openXmlPackage({{"word/document.xml", kWordMain, laughs}}));
    EXPECT_EQ(bomb.textVerdict, DocumentVerdict::Damaged);
    EXPECT_TRUE(bomb.text.empty());
    EXPECT_LT(secondsSince(start), 2.0);
}

TEST(DocumentLimits, TruncatedDamagedAndEncryptedFiles)
{
    const std::string docx = wordDocument({"whole document"});
    // Without its central directory a zip cannot be told from any other.
    EXPECT_EQ(extract(docx.substr(0, docx.size() / 2)).verdict, DocumentVerdict::NotDocument);

    // Content types readable, the body encrypted (AES, as zip tools encrypt).
    const std::string types = "<?xml version=\"1.0\"?><Types "
                              "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                              "<Override PartName=\"/word/document.xml\" ContentType=\""
        + std::string(kWordMain) + "\"/></Types>";
    const std::string locked = zipArchive(
        {{"[Content_Types].xml", types}, {"word/document.xml", wordBody("<w:p><w:r><w:t>hidden</w:t></w:r></w:p>"), false, "pw"}});
    const Extraction e = extract(locked);
    EXPECT_EQ(e.verdict, DocumentVerdict::Text);
    EXPECT_EQ(e.textVerdict, DocumentVerdict::Encrypted);
    EXPECT_TRUE(e.text.empty());

    // An ODF package whose content the manifest says is encrypted.
    const std::string odt = openDocument("application/vnd.oasis.opendocument.text", "<office:text/>", {}, true,
                                         "<manifest:encryption-data manifest:checksum-type=\"SHA1/1K\" "
                                         "manifest:checksum=\"AAAA\"/>");
    EXPECT_EQ(extract(odt).verdict, DocumentVerdict::Encrypted);

    EXPECT_EQ(extract(encryptedPdf()).verdict, DocumentVerdict::Encrypted);
    const std::string pdf = japanesePdf({{"全文"}});
    EXPECT_EQ(extract("%PDF-1.4\n" + std::string(5000, '\x01')).verdict, DocumentVerdict::Damaged);
    const Extraction cut = extract(pdf.substr(0, pdf.size() / 2));
    EXPECT_NE(cut.verdict, DocumentVerdict::NotDocument);
    EXPECT_EQ(cut.text.find("全文"), std::string::npos);
}

TEST(DocumentLimits, TimeLimitEndsALargeSheet)
{
    TempFolder folder;
    const std::string path = folder.path("large.xlsx");
    writeLargeSheet(path, 200u << 20, "needle at the end");
    DocumentLimits limits;
    limits.milliseconds = 300;
    limits.uncompressedBytes = 1ull << 40;
    const std::string bytes = readFile(path);
    const auto start = Clock::now();
    const Extraction e = extract(bytes, limits);
    EXPECT_EQ(e.verdict, DocumentVerdict::Text);
    EXPECT_EQ(e.textVerdict, DocumentVerdict::OverLimit);
    EXPECT_EQ(e.text.find("needle"), std::string::npos);
    EXPECT_LT(secondsSince(start), 0.3 + 1.0);
}

TEST(DocumentLimits, FiveHundredMegabyteSheetIsGivenUpWithinTheDefaultLimitsInBoundedMemory)
{
    TempFolder folder;
    const std::string path = folder.path("huge.xlsx");
    writeLargeSheet(path, 500u << 20, "needle at the end");
    const std::string bytes = readFile(path);
    DocumentClient client(QV_DOC_HELPER_PATH);
    const auto start = Clock::now();
    const Extraction e = extract(client, bytes, 256u << 10);
    const double took = secondsSince(start);
    EXPECT_EQ(e.textVerdict, DocumentVerdict::OverLimit);
    EXPECT_EQ(e.text.find("needle"), std::string::npos);
    // Given up at the uncompressed limit, or at the time limit on a busy machine; never
    // later than the time limit, the client's grace and the file's transfer (slow under
    // the sanitizers on a loaded machine).
    EXPECT_LT(took, DocumentLimits{}.milliseconds / 1000.0
                        + std::chrono::duration<double>(DocumentClient::kGrace).count() + 6.0);
    const long peak = peakKb(client.helperPid());
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 128 * 1024) << "helper peak " << peak << " kB";
}
