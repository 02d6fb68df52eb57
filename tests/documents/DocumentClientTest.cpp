// The client of the document helper against a helper that hangs, dies, answers
// garbage or speaks another version, and the protocol's own checks.
#include "platform/DocumentClient.h"
#include "platform/DocumentProtocol.h"
#include "tests/documents/Extraction.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

using Clock = std::chrono::steady_clock;

// The fake helper reads its mode when it starts: each client starts its own.
class FakeMode final {
public:
    explicit FakeMode(const char* mode) { setenv("QV_FAKE_DOC", mode, 1); }
    ~FakeMode() { unsetenv("QV_FAKE_DOC"); }
};

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

bool alive(pid_t pid) { return pid > 0 && kill(pid, 0) == 0; }

DocumentLimits shortTime()
{
    DocumentLimits limits;
    limits.milliseconds = 300;
    return limits;
}

} // namespace

TEST(DocumentClient, HelperThatHangsIsKilledAtTheTimeLimitAndReplacedForTheNextFile)
{
    DocumentClient client(FAKE_DOC_HELPER);
    client.setLimits(shortTime());
    pid_t hung = 0;
    {
        FakeMode mode("hang");
        ASSERT_TRUE(client.begin(DocumentKind::Zip));
        hung = client.helperPid();
        ASSERT_TRUE(client.feed("PK\x03\x04 bytes", 10));
        const auto start = Clock::now();
        EXPECT_EQ(client.finish(true), DocumentVerdict::OverLimit);
        const double took = secondsSince(start);
        EXPECT_GE(took, 0.3);
        EXPECT_LT(took, 0.3 + std::chrono::duration<double>(DocumentClient::kGrace).count() + 0.5);
    }
    EXPECT_EQ(client.helperPid(), 0);
    EXPECT_FALSE(alive(hung));
    // The fake hands back the file's bytes as its text.
    const Extraction e = extract(client, "PK\x03\x04 next file");
    EXPECT_EQ(e.verdict, DocumentVerdict::Text);
    EXPECT_EQ(e.text, "PK\x03\x04 next file");
    EXPECT_NE(client.helperPid(), hung);
}

TEST(DocumentClient, HelperThatDiesOrAnswersGarbageCostsOnlyTheFile)
{
    for (const char* how : {"crash", "garbage"}) {
        DocumentClient client(FAKE_DOC_HELPER);
        {
            FakeMode mode(how);
            EXPECT_EQ(extract(client, "%PDF-1.4 anything").verdict, DocumentVerdict::Damaged) << how;
        }
        EXPECT_EQ(extract(client, "%PDF-1.4 then this").text, "%PDF-1.4 then this") << how;
    }
}

TEST(DocumentClient, TextThatNeverComesIsOverTheLimit)
{
    FakeMode mode("slow-text");
    DocumentClient client(FAKE_DOC_HELPER);
    client.setLimits(shortTime());
    const Extraction e = extract(client, "PK\x03\x04 slow");
    EXPECT_EQ(e.verdict, DocumentVerdict::Text);
    EXPECT_EQ(e.textVerdict, DocumentVerdict::OverLimit);
}

TEST(DocumentClient, StopEndsTheWaitAtOnce)
{
    FakeMode mode("hang");
    DocumentClient client(FAKE_DOC_HELPER); // the default limit: ten seconds
    std::atomic<bool> stop{false};
    client.setCancel([&] { return stop.load(); });
    ASSERT_TRUE(client.begin(DocumentKind::Pdf));
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    const auto start = Clock::now();
    EXPECT_EQ(client.finish(true), DocumentVerdict::Cancelled);
    EXPECT_LT(secondsSince(start), 0.5);
    stopper.join();
    EXPECT_EQ(client.helperPid(), 0);
}

TEST(DocumentClient, NoHelperOrAnotherVersionMeansNoDocumentReading)
{
    DocumentClient missing("/nonexistent/qv-doc");
    EXPECT_FALSE(missing.begin(DocumentKind::Zip));
    FakeMode mode("wrong-version");
    DocumentClient other(FAKE_DOC_HELPER);
    EXPECT_FALSE(other.begin(DocumentKind::Zip));
    EXPECT_EQ(other.helperPid(), 0);
}

TEST(DocumentProtocol, MessagesRoundTripAndGarbageIsRefused)
{
    DocRequest begin;
    begin.kind = DocMessageKind::Begin;
    begin.document = DocumentKind::Pdf;
    begin.limits = {1, 2, 3, 4, 5};
    DocRequest data;
    data.kind = DocMessageKind::Data;
    data.data = std::string("\0bytes\xff", 7);
    DocRequest end;
    end.kind = DocMessageKind::End;
    end.complete = false;
    for (const DocRequest& request : {begin, data, end}) {
        const std::string frame = DocumentProtocol::encode(request);
        DocRequest back;
        ASSERT_TRUE(DocumentProtocol::decode(std::string_view(frame).substr(4), back));
        EXPECT_EQ(back, request);
        // Every shorter message is refused, never read past its end.
        for (std::size_t cut = 4; cut + 1 < frame.size(); ++cut)
            EXPECT_FALSE(DocumentProtocol::decode(std::string_view(frame).substr(4, cut - 4), back)) << cut;
    }
    DocReply text;
    text.kind = DocMessageKind::NextText;
    text.verdict = DocumentVerdict::Encrypted;
    text.text = "piece";
    const std::string frame = DocumentProtocol::encode(text);
    DocReply back;
    ASSERT_TRUE(DocumentProtocol::decode(std::string_view(frame).substr(4), back));
    EXPECT_EQ(back, text);
    std::string badVerdict(frame.substr(4));
    badVerdict[1] = 99;
    EXPECT_FALSE(DocumentProtocol::decode(badVerdict, back));
    EXPECT_FALSE(DocumentProtocol::decode(std::string("\x02\x02", 2), back)); // a Begin is no reply
    EXPECT_FALSE(DocumentProtocol::decode(std::string(frame.substr(4)) + "x", back));
}
