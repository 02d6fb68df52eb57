// Local names as text: UTF-8 as it is, whole CP932 decoded and marked, anything else untouched.
#include "search/NameText.h"
#include "platform/Utf8.h"
#include "tests/support/Cp932Bytes.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qv;
using qv::test::cp932Bytes;

namespace {

const std::string kMarker = "〔CP932〕";

} // namespace

TEST(NameText, Utf8NameIsItsOwnTextWithoutACopy)
{
    NameText names;
    // "\xC3\xA9" is "é" in UTF-8 and two half-width kana in CP932: UTF-8 comes first.
    for (const std::string& name : std::vector<std::string>{"plain.txt", "見積書.txt", "caf\xC3\xA9", "", "a-long-ascii-name-of-many-words.tar.gz"}) {
        const NameText::Text text = names.of(name);
        EXPECT_EQ(static_cast<const void*>(text.text.data()), static_cast<const void*>(name.data())) << name;
        EXPECT_EQ(text.text.size(), name.size()) << name;
        EXPECT_FALSE(text.decoded) << name;
        EXPECT_EQ(names.shown(name), name);
    }
}

TEST(NameText, WholeCp932NameIsDecodedAndShownWithTheMarker)
{
    NameText names;
    // The bytes Windows writes for 見積書.txt, independent of the converter the tests use.
    const std::string estimate = "\x8C\xA9\x90\xCF\x8F\x91.txt";
    EXPECT_EQ(names.of(estimate).text, "見積書.txt");
    EXPECT_TRUE(names.of(estimate).decoded);
    EXPECT_EQ(names.shown(estimate), "見積書.txt" + kMarker);

    // A second byte 0x5C (表), single-byte kana, and the NEC and IBM extensions of CP932.
    for (const std::string& text : {"表.doc", "ｱｲｳ.csv", "①②.txt", "纊髙.txt", "～予定～"}) {
        const std::string bytes = cp932Bytes(text);
        ASSERT_FALSE(Utf8::isValid(bytes)) << text;
        const NameText::Text decoded = names.of(bytes);
        EXPECT_TRUE(decoded.decoded) << text;
        EXPECT_EQ(decoded.text, text);
        EXPECT_EQ(names.shown(bytes), text + kMarker);
    }
}

TEST(NameText, NameThatIsNotWholeCp932StaysAsItIs)
{
    NameText names;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"caf\xE9.txt", "caf\uFFFD.txt"},                           // lead byte before a byte no second byte can be
        {"\x80x", "\uFFFDx"},                                       // a byte CP932 leaves unmapped
        {"abc\x82", "abc\uFFFD"},                                   // lead byte at the end
        {cp932Bytes("見積") + "\xFF", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"}, // no half-decoded names
    };
    for (const auto& [bytes, shown] : cases) {
        const NameText::Text text = names.of(bytes);
        EXPECT_FALSE(text.decoded) << shown;
        EXPECT_EQ(static_cast<const void*>(text.text.data()), static_cast<const void*>(bytes.data())) << shown;
        EXPECT_EQ(names.shown(bytes), shown);
    }
}

TEST(NameText, PathShowsEachComponentAsANameIsShown)
{
    NameText names;
    const std::string path = "/tmp/" + cp932Bytes("請求") + "/2024/caf\xE9/" + cp932Bytes("見積書.txt");
    EXPECT_EQ(names.shownPath(path, '/'), "/tmp/請求" + kMarker + "/2024/caf\uFFFD/見積書.txt" + kMarker);
    EXPECT_EQ(names.shownPath("/srv/共有/docs/", '/'), "/srv/共有/docs/");
    EXPECT_EQ(names.shownPath("\\\\HOST\\共有\\docs", '\\'), "\\\\HOST\\共有\\docs");
    EXPECT_EQ(names.shownPath("", '/'), "");
}
