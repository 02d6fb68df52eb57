// Network names to smb:// URLs and back, without a server.
#include "platform/SmbUrl.h"

#include <gtest/gtest.h>

using namespace qv;
using Level = SmbUrl::Level;

namespace {

struct UrlRow {
    const char* name;
    const char* url;
    Level level;
};

// Every row must convert both ways: name -> URL and URL -> the same name.
const UrlRow kRows[] = {
    {"", "smb://", Level::Network},
    {"WORKGROUP", "smb://WORKGROUP", Level::Workgroup},
    {"\\\\HOST", "smb://HOST", Level::Computer},
    {"\\\\HOST\\share", "smb://HOST/share", Level::Share},
    {"\\\\HOST\\share\\a\\b", "smb://HOST/share/a/b", Level::Folder},
    {"\\\\HOST\\hidden$", "smb://HOST/hidden$", Level::Share},
    {"\\\\HOST\\public\\name with space.txt", "smb://HOST/public/name%20with%20space.txt", Level::Folder},
    {"\\\\HOST\\public\\percent%sign.txt", "smb://HOST/public/percent%25sign.txt", Level::Folder},
    {"\\\\HOST\\public\\hash#sign.txt", "smb://HOST/public/hash%23sign.txt", Level::Folder},
    {"\\\\HOST\\public\\what?.txt", "smb://HOST/public/what%3F.txt", Level::Folder},
    {"\\\\HOST\\public\\mixed %# name.txt", "smb://HOST/public/mixed%20%25%23%20name.txt", Level::Folder},
    {"\\\\HOST\\public\\a@b;c:d", "smb://HOST/public/a%40b%3Bc%3Ad", Level::Folder},
    {"\\\\HOST\\public\\Report #1 (final).txt", "smb://HOST/public/Report%20%231%20(final).txt", Level::Folder},
    {"\\\\HOST\\public\\日本語ファイル名.txt",
     "smb://HOST/public/%E6%97%A5%E6%9C%AC%E8%AA%9E%E3%83%95%E3%82%A1%E3%82%A4%E3%83%AB%E5%90%8D.txt", Level::Folder},
    {"\\\\HOST\\会議\\議事録", "smb://HOST/%E4%BC%9A%E8%AD%B0/%E8%AD%B0%E4%BA%8B%E9%8C%B2", Level::Folder},
    {"\\\\HOST\\s\\tab\there", "smb://HOST/s/tab%09here", Level::Folder},
    {"\\\\HOST\\s\\quote\"", "smb://HOST/s/quote%22", Level::Folder},
    {"\\\\HOST\\s\\a/b", "smb://HOST/s/a%2Fb", Level::Folder},
    {"\\\\HOST\\s\\100%", "smb://HOST/s/100%25", Level::Folder},
    // Computers named by their address: an IPv6 literal keeps its brackets and colons.
    {"\\\\192.0.2.31", "smb://192.0.2.31", Level::Computer},
    {"\\\\192.0.2.31\\docs\\a b", "smb://192.0.2.31/docs/a%20b", Level::Folder},
    {"\\\\[fe80::1]", "smb://[fe80::1]", Level::Computer},
    {"\\\\[2001:db8::5]\\docs", "smb://[2001:db8::5]/docs", Level::Share},
    {"\\\\[fe80::1%eth0]\\docs\\x", "smb://[fe80::1%25eth0]/docs/x", Level::Folder},
};

} // namespace

TEST(SmbUrl, ConvertsEveryTableRowBothWays)
{
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        const auto fromName = SmbUrl::fromNetworkName(row.name);
        ASSERT_TRUE(fromName);
        EXPECT_EQ(fromName->url(), row.url);
        EXPECT_EQ(fromName->level(), row.level);
        EXPECT_EQ(fromName->networkName(), row.name);

        const auto fromUrl = SmbUrl::fromUrl(row.url, row.level == Level::Workgroup ? Level::Workgroup : Level::Computer);
        ASSERT_TRUE(fromUrl);
        EXPECT_EQ(fromUrl->networkName(), row.name);
        EXPECT_EQ(fromUrl->level(), row.level);
        EXPECT_EQ(*fromUrl, *fromName);
    }
}

TEST(SmbUrl, SplitsIntoServerShareAndPath)
{
    const auto url = SmbUrl::fromNetworkName("\\\\QVHOST1\\public\\docs\\深い階層\\最下層.txt");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->server(), "QVHOST1");
    EXPECT_EQ(url->share(), "public");
    EXPECT_EQ(url->path(), (std::vector<std::string>{"docs", "深い階層", "最下層.txt"}));
}

TEST(SmbUrl, OneNameIsAComputerUnlessSaidOtherwise)
{
    EXPECT_EQ(SmbUrl::fromUrl("smb://NAME")->level(), Level::Computer);
    EXPECT_EQ(SmbUrl::fromUrl("smb://NAME", Level::Workgroup)->level(), Level::Workgroup);
    EXPECT_EQ(SmbUrl::fromUrl("smb://NAME", Level::Workgroup)->networkName(), "NAME");
    // A deeper URL is a share or folder whatever the hint says.
    EXPECT_EQ(SmbUrl::fromUrl("smb://NAME/share", Level::Workgroup)->level(), Level::Share);
}

TEST(SmbUrl, AcceptsTrailingSeparatorsAndSchemeCase)
{
    EXPECT_EQ(SmbUrl::fromNetworkName("\\\\HOST\\share\\")->url(), "smb://HOST/share");
    EXPECT_EQ(SmbUrl::fromNetworkName("\\\\HOST\\")->url(), "smb://HOST");
    EXPECT_EQ(SmbUrl::fromNetworkName("\\\\")->level(), Level::Network);
    EXPECT_EQ(SmbUrl::fromUrl("SMB://HOST/share/")->networkName(), "\\\\HOST\\share");
    EXPECT_EQ(SmbUrl::fromUrl("smb://HOST/a%2fb")->share(), "a/b"); // lower-case hex too
}

TEST(SmbUrl, RefusesMalformedNamesAndUrls)
{
    for (const char* name : {"\\\\HOST\\\\share", "\\\\\\share", "WG\\x", "\\single"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(SmbUrl::fromNetworkName(name));
    }
    for (const char* url : {"http://HOST", "smb:/HOST", "smb://HOST//share", "smb://user@HOST/share",
                            "smb://HOST/share?opt=1", "smb://HOST/a#b", "smb://HOST:445/share", "smb://HOST/a%2",
                            "smb://HOST/a%zz", "smb://HOST/%", "smb:"}) {
        SCOPED_TRACE(url);
        EXPECT_FALSE(SmbUrl::fromUrl(url));
    }
}

TEST(SmbUrl, EncodesEachReservedByteAndDecodesItBack)
{
    // Every byte value on its own: what must be escaped is, and decoding restores it.
    for (int c = 1; c < 256; ++c) {
        const std::string raw(1, static_cast<char>(c));
        const std::string encoded = SmbUrl::encodeComponent(raw);
        const bool escaped = c < 0x21 || c >= 0x7F || std::string_view("%?#@;:\"/").find(static_cast<char>(c)) != std::string_view::npos;
        EXPECT_EQ(encoded.size(), escaped ? 3u : 1u) << "byte " << c;
        EXPECT_EQ(SmbUrl::decodeComponent(encoded), raw) << "byte " << c;
    }
    EXPECT_EQ(SmbUrl::encodeComponent("a b"), "a%20b");
    EXPECT_EQ(SmbUrl::encodeComponent("見"), "%E8%A6%8B");
}

TEST(SmbUrl, ComparesServerNamesWithoutCase)
{
    EXPECT_TRUE(SmbUrl::sameServerName("qvhost1", "QVHOST1"));
    EXPECT_FALSE(SmbUrl::sameServerName("QVHOST1", "QVHOST10"));
    EXPECT_EQ(*SmbUrl::fromNetworkName("\\\\host\\s"), *SmbUrl::fromNetworkName("\\\\HOST\\s"));
    // Share and path names keep their case.
    EXPECT_FALSE(*SmbUrl::fromNetworkName("\\\\HOST\\S") == *SmbUrl::fromNetworkName("\\\\HOST\\s"));
}

TEST(SmbUrl, ChildGoesOneLevelDown)
{
    const SmbUrl network;
    const SmbUrl workgroup = network.child("QVGROUP1");
    EXPECT_EQ(workgroup.level(), Level::Workgroup);
    EXPECT_EQ(workgroup.networkName(), "QVGROUP1");
    const SmbUrl computer = workgroup.child("QVHOST1");
    EXPECT_EQ(computer.networkName(), "\\\\QVHOST1");
    const SmbUrl folder = computer.child("public").child("a b").child("c#d");
    EXPECT_EQ(folder.networkName(), "\\\\QVHOST1\\public\\a b\\c#d");
    EXPECT_EQ(folder.url(), "smb://QVHOST1/public/a%20b/c%23d");
}

TEST(SmbUrl, AddressesBecomeUrlHostsAndNothingElseDoes)
{
    EXPECT_EQ(SmbUrl::hostForAddress("192.0.2.5"), "192.0.2.5");
    EXPECT_EQ(SmbUrl::hostForAddress("2001:db8::5"), "[2001:db8::5]");
    EXPECT_EQ(SmbUrl::hostForAddress("fe80::1%eth0"), "[fe80::1%25eth0]");
    for (const char* bad : {"", "MORI5", "192.0.2", "192.0.2.5/24", "[fe80::1]", "fe80::1%", "fe80::1%a/b", "1.2.3.4 "})
        EXPECT_EQ(SmbUrl::hostForAddress(bad), "") << bad;

    EXPECT_TRUE(SmbUrl::isAddressName("192.0.2.5"));
    EXPECT_TRUE(SmbUrl::isAddressName("[::1]"));
    EXPECT_FALSE(SmbUrl::isAddressName("::1")) << "a network name writes IPv6 in brackets";
    EXPECT_FALSE(SmbUrl::isAddressName("MORI5"));

    const auto share = SmbUrl::fromNetworkName("\\\\MORI5\\docs\\a#b");
    ASSERT_TRUE(share);
    EXPECT_EQ(share->urlWithHost("192.0.2.32"), "smb://192.0.2.32/docs/a%23b");
    EXPECT_EQ(share->urlWithHost(SmbUrl::hostForAddress("fe80::2%eth0")), "smb://[fe80::2%25eth0]/docs/a%23b");

    // Brackets that hold no address, and a raw colon outside brackets, are refused.
    EXPECT_FALSE(SmbUrl::fromUrl("smb://[MORI5]/docs"));
    EXPECT_FALSE(SmbUrl::fromUrl("smb://fe80::1/docs"));
    EXPECT_FALSE(SmbUrl::fromUrl("smb://[fe80::1"));
}

// A computer whose name holds brackets but no address ("\\[MORI5]") kept them raw in its
// URL, which then read as an IPv6 literal and was refused: the name had no URL that led
// back to it.
TEST(SmbUrl, BracketsOfANameThatIsNoAddressAreEscaped)
{
    for (const char* name : {"\\\\[MORI5]\\docs", "\\\\[fe80::1h0]\\share", "\\\\a[b]", "\\\\[", "\\\\]x\\s\\[y]"}) {
        const auto place = SmbUrl::fromNetworkName(name);
        ASSERT_TRUE(place) << name;
        const std::string url = place->url();
        const std::string server = url.substr(6, url.find('/', 6) - 6);
        EXPECT_EQ(server.find_first_of("[]"), std::string::npos) << "the server part of " << url << " holds a raw bracket";
        const auto back = SmbUrl::fromUrl(url);
        ASSERT_TRUE(back) << url;
        EXPECT_EQ(back->networkName(), name) << url;
    }
    EXPECT_EQ(SmbUrl::fromNetworkName("\\\\[MORI5]\\docs")->url(), "smb://%5BMORI5%5D/docs");
    EXPECT_EQ(SmbUrl::fromNetworkName("\\\\[fe80::1]\\docs")->url(), "smb://[fe80::1]/docs") << "an address keeps its brackets";
}

// The address check handed the text to inet_pton as a C string, so a zero byte ended
// it there: "[fe80::1%00junk]" passed as an address and went into the URL raw, zero
// byte and all, which libsmbclient would have cut short.
TEST(SmbUrl, AnAddressWithAZeroByteIsNoAddress)
{
    using namespace std::string_literals;
    EXPECT_FALSE(SmbUrl::isAddressName("192.0.2.5\0junk"s));
    EXPECT_FALSE(SmbUrl::isAddressName("[fe80::1\0x]"s));
    EXPECT_EQ(SmbUrl::hostForAddress("192.0.2.5\0"s), "");
    EXPECT_FALSE(SmbUrl::fromUrl("smb://[fe80::1%00junk]/s"));
    const auto place = SmbUrl::fromNetworkName("\\\\192.0.2.5\0x\\s"s);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->url(), "smb://192.0.2.5%00x/s");
}

// An IPv6 zone went into the URL as it was, so an interface named "eth@x" put a raw
// "@" in it, which libsmbclient takes for the end of a user name.
TEST(SmbUrl, AnIpv6ZoneIsEscapedInTheUrl)
{
    const auto place = SmbUrl::fromNetworkName("\\\\[fe80::1%eth@x#1]\\docs");
    ASSERT_TRUE(place);
    EXPECT_EQ(place->url(), "smb://[fe80::1%25eth%40x%231]/docs");
    const auto back = SmbUrl::fromUrl(place->url());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->networkName(), "\\\\[fe80::1%eth@x#1]\\docs");
    EXPECT_EQ(SmbUrl::hostForAddress("fe80::1%a;b"), "[fe80::1%25a%3Bb]");
}
