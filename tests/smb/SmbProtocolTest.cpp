// The helper protocol: every message survives a round trip, and frames that are cut
// short, padded or garbled are refused without crashing.
#include "platform/SmbProtocol.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>
#include <thread>
#include <unistd.h>

using namespace qv;

namespace {

std::string body(const std::string& frame) { return frame.substr(4); }

std::vector<SmbRequest> everyRequest()
{
    std::vector<SmbRequest> out;
    SmbRequest r;
    r.kind = SmbMessageKind::Hello;
    r.version = SmbProtocol::kVersion;
    out.push_back(r);
    r = {};
    r.kind = SmbMessageKind::SetCredentials;
    r.server = "QVHOST1";
    r.credentials = {"qvtest", "Qv-Test.2024", "QVGROUP1", true};
    out.push_back(r);
    r = {};
    r.kind = SmbMessageKind::SetCredentials; // the default entry, anonymous
    out.push_back(r);
    r = {};
    r.kind = SmbMessageKind::SetTimeout;
    r.value = 5000;
    out.push_back(r);
    for (auto kind : {SmbMessageKind::ListNetwork, SmbMessageKind::ListFolder, SmbMessageKind::OpenFile}) {
        r = {};
        r.kind = kind;
        r.url = "smb://QVHOST1/public/%E6%97%A5%E6%9C%AC.txt";
        out.push_back(r);
    }
    r = {};
    r.kind = SmbMessageKind::ListNetwork;
    r.url = "smb://QVHOST1";
    r.value = static_cast<std::uint32_t>(SmbNameHint::Computer);
    out.push_back(r);
    r = {};
    r.kind = SmbMessageKind::ReadChunk;
    r.handle = 0xDEADBEEF;
    r.value = 256 * 1024;
    out.push_back(r);
    r = {};
    r.kind = SmbMessageKind::CloseFile;
    r.handle = 7;
    out.push_back(r);
    return out;
}

std::vector<SmbReply> everyReply()
{
    std::vector<SmbReply> out;
    SmbReply r;
    r.kind = SmbMessageKind::Hello;
    r.version = 3;
    out.push_back(r);
    r = {};
    r.kind = SmbMessageKind::Hello; // a refused hello still names the helper's version
    r.error = EPROTONOSUPPORT;
    r.version = 9;
    out.push_back(r);
    r = {};
    r.kind = SmbMessageKind::ListNetwork;
    r.network = {{"QVGROUP1", SmbNetEntry::Kind::Workgroup}, {"QVHOST1", SmbNetEntry::Kind::Server},
                 {"public", SmbNetEntry::Kind::FileShare}, {"qvprinter", SmbNetEntry::Kind::PrinterShare},
                 {"IPC$", SmbNetEntry::Kind::Other}};
    out.push_back(r);
    r = {};
    r.kind = SmbMessageKind::ListFolder;
    FileEntry folder;
    folder.name = "深い階層";
    folder.isFolder = true;
    folder.hasDetails = true;
    folder.created = 1709294400;
    folder.written = 1709294401;
    folder.accessed = -1;
    FileEntry big;
    big.name = "sparse-5GiB.bin";
    big.hasDetails = true;
    big.size = 5368709120LL; // above 32 bits
    big.created = -1;
    big.written = 4102444800LL; // after 2038
    big.accessed = 0;
    r.folder = {folder, big};
    out.push_back(r);
    r = {};
    r.kind = SmbMessageKind::ListFolder; // an empty folder
    out.push_back(r);
    r = {};
    r.kind = SmbMessageKind::OpenFile;
    r.handle = 42;
    out.push_back(r);
    r = {};
    r.kind = SmbMessageKind::ReadChunk;
    r.data = std::string("binary\0data\xff", 12);
    out.push_back(r);
    r = {};
    r.kind = SmbMessageKind::ListFolder;
    r.error = EACCES;
    out.push_back(r);
    r = {};
    r.kind = SmbMessageKind::CloseFile;
    out.push_back(r);
    return out;
}

void expectSameReply(const SmbReply& a, const SmbReply& b)
{
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.error, b.error);
    EXPECT_EQ(a.version, b.version);
    EXPECT_EQ(a.network, b.network);
    ASSERT_EQ(a.folder.size(), b.folder.size());
    for (std::size_t i = 0; i < a.folder.size(); ++i) {
        EXPECT_EQ(a.folder[i].name, b.folder[i].name);
        EXPECT_EQ(a.folder[i].isFolder, b.folder[i].isFolder);
        EXPECT_TRUE(b.folder[i].hasDetails);
        EXPECT_EQ(a.folder[i].size, b.folder[i].size);
        EXPECT_EQ(a.folder[i].created, b.folder[i].created);
        EXPECT_EQ(a.folder[i].written, b.folder[i].written);
        EXPECT_EQ(a.folder[i].accessed, b.folder[i].accessed);
    }
    EXPECT_EQ(a.handle, b.handle);
    EXPECT_EQ(a.data, b.data);
}

} // namespace

TEST(SmbProtocol, EveryMessageSurvivesARoundTrip)
{
    for (const auto& request : everyRequest()) {
        const std::string frame = SmbProtocol::encode(request);
        ASSERT_GE(frame.size(), 5u);
        SmbRequest decoded;
        ASSERT_TRUE(SmbProtocol::decode(body(frame), decoded)) << int(request.kind);
        EXPECT_EQ(decoded, request);
    }
    for (const auto& reply : everyReply()) {
        const std::string frame = SmbProtocol::encode(reply);
        SmbReply decoded;
        ASSERT_TRUE(SmbProtocol::decode(body(frame), decoded)) << int(reply.kind);
        expectSameReply(reply, decoded);
    }
}

TEST(SmbProtocol, LengthPrefixIsLittleEndianMessageLength)
{
    SmbRequest r;
    r.kind = SmbMessageKind::OpenFile;
    r.url = std::string(300, 'x');
    const std::string frame = SmbProtocol::encode(r);
    const auto length = static_cast<std::uint32_t>(static_cast<unsigned char>(frame[0]))
        | static_cast<std::uint32_t>(static_cast<unsigned char>(frame[1])) << 8;
    EXPECT_EQ(length, frame.size() - 4);
    EXPECT_EQ(frame[2], 0);
    EXPECT_EQ(frame[3], 0);
}

TEST(SmbProtocol, RefusesCutShortAndPaddedMessages)
{
    for (const auto& request : everyRequest()) {
        const std::string message = body(SmbProtocol::encode(request));
        for (std::size_t cut = 0; cut < message.size(); ++cut) {
            SmbRequest decoded;
            EXPECT_FALSE(SmbProtocol::decode(message.substr(0, cut), decoded)) << int(request.kind) << " cut " << cut;
        }
        SmbRequest decoded;
        EXPECT_FALSE(SmbProtocol::decode(message + '\0', decoded)) << int(request.kind);
    }
    for (const auto& reply : everyReply()) {
        const std::string message = body(SmbProtocol::encode(reply));
        for (std::size_t cut = 0; cut < message.size(); ++cut) {
            SmbReply decoded;
            EXPECT_FALSE(SmbProtocol::decode(message.substr(0, cut), decoded)) << int(reply.kind) << " cut " << cut;
        }
        SmbReply decoded;
        EXPECT_FALSE(SmbProtocol::decode(message + '\0', decoded)) << int(reply.kind);
    }
}

TEST(SmbProtocol, RefusesValuesNoMessageHas)
{
    SmbRequest request;
    EXPECT_FALSE(SmbProtocol::decode(std::string("\x00\x01\x00\x00\x00", 5), request)); // kind 0
    EXPECT_FALSE(SmbProtocol::decode(std::string("\x09\x01\x00\x00\x00", 5), request)); // past CloseFile
    SmbRequest credentials;
    credentials.kind = SmbMessageKind::SetCredentials;
    std::string message = body(SmbProtocol::encode(credentials));
    message.back() = 2; // the Kerberos flag is 0 or 1
    EXPECT_FALSE(SmbProtocol::decode(message, request));
    SmbRequest hinted;
    hinted.kind = SmbMessageKind::ListNetwork;
    message = body(SmbProtocol::encode(hinted));
    message[message.size() - 4] = 3; // no such name hint
    EXPECT_FALSE(SmbProtocol::decode(message, request));

    SmbReply reply;
    SmbReply negative;
    negative.kind = SmbMessageKind::CloseFile;
    negative.error = -5;
    EXPECT_FALSE(SmbProtocol::decode(body(SmbProtocol::encode(negative)), reply));

    // An entry count far beyond what the message holds fails before anything is
    // reserved for it.
    SmbReply listing;
    listing.kind = SmbMessageKind::ListFolder;
    message = body(SmbProtocol::encode(listing));
    message.replace(5, 4, "\xff\xff\xff\x7f");
    EXPECT_FALSE(SmbProtocol::decode(message, reply));

    // Unknown flag bits and entry kinds.
    FileEntry entry;
    entry.name = "x";
    listing.folder = {entry};
    message = body(SmbProtocol::encode(listing));
    message[9] = 0x40;
    EXPECT_FALSE(SmbProtocol::decode(message, reply));
    SmbReply network;
    network.kind = SmbMessageKind::ListNetwork;
    network.network = {{"x", SmbNetEntry::Kind::Server}};
    message = body(SmbProtocol::encode(network));
    message[9] = 17;
    EXPECT_FALSE(SmbProtocol::decode(message, reply));
}

TEST(SmbProtocol, SurvivesRandomGarbage)
{
    std::mt19937 random(1234);
    std::vector<std::string> seeds;
    for (const auto& r : everyRequest())
        seeds.push_back(body(SmbProtocol::encode(r)));
    for (const auto& r : everyReply())
        seeds.push_back(body(SmbProtocol::encode(r)));
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string message = seeds[random() % seeds.size()];
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips && !message.empty(); ++i)
            message[random() % message.size()] = static_cast<char>(random());
        SmbRequest request;
        SmbReply reply;
        // Whatever the bytes, decoding returns; a mutation may still be a valid message.
        accepted += SmbProtocol::decode(message, request) ? 1 : 0;
        accepted += SmbProtocol::decode(message, reply) ? 1 : 0;
    }
    EXPECT_LT(accepted, 40000);
}

TEST(SmbProtocol, ReadsFramesFromAPipe)
{
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    SmbReply reply;
    reply.kind = SmbMessageKind::ReadChunk;
    reply.data = std::string(300000, 'z'); // more than a pipe holds: written from a thread
    const std::string frame = SmbProtocol::encode(reply);
    std::thread writer([&] {
        EXPECT_EQ(SmbProtocol::writeAll(fds[1], frame), 0);
        EXPECT_EQ(SmbProtocol::writeAll(fds[1], std::string("\x10\x00", 2)), 0); // a cut-off prefix
        close(fds[1]);
    });
    std::string message;
    ASSERT_EQ(SmbProtocol::readFrame(fds[0], message), 0);
    SmbReply decoded;
    ASSERT_TRUE(SmbProtocol::decode(message, decoded));
    EXPECT_EQ(decoded.data.size(), 300000u);
    EXPECT_EQ(SmbProtocol::readFrame(fds[0], message), EPIPE);
    writer.join();
    close(fds[0]);

    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    ASSERT_EQ(SmbProtocol::writeAll(fds[1], std::string("\xff\xff\xff\xff", 4)), 0);
    EXPECT_EQ(SmbProtocol::readFrame(fds[0], message), EMSGSIZE);
    close(fds[1]);
    EXPECT_EQ(SmbProtocol::readFrame(fds[0], message), EPIPE);
    close(fds[0]);
}
