// The wildcard name matcher against a slow matcher written here from the rule: the
// whole name fits the pattern, "*" any run of characters, "?" one character, letters
// without regard to case, a final ".*" also any name without an extension. A
// character is a valid UTF-8 sequence or one byte that starts none.
#include "fuzz/FuzzCheck.h"
#include "platform/CaseFold.h"
#include "platform/Utf8.h"
#include "search/NamePattern.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace qv;
using qv::fuzz::shown;

namespace {

std::vector<std::string> characters(std::string_view text)
{
    std::vector<std::string> out;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t length = p[pos] < 0x80 ? 1 : Utf8::validSequenceLength(p + pos, text.size() - pos);
        if (length == 0)
            length = 1;
        out.emplace_back(text.substr(pos, length));
        pos += length;
    }
    return out;
}

// Every pair of prefixes, pattern by name: fits[i][j] when pattern[0, i) fits name[0, j).
bool slowMatch(const std::vector<std::string>& pattern, const std::vector<std::string>& name)
{
    std::vector<std::vector<bool>> fits(pattern.size() + 1, std::vector<bool>(name.size() + 1, false));
    fits[0][0] = true;
    for (std::size_t i = 1; i <= pattern.size(); ++i) {
        const std::string& p = pattern[i - 1];
        for (std::size_t j = 0; j <= name.size(); ++j) {
            if (p == "*")
                fits[i][j] = fits[i - 1][j] || (j > 0 && fits[i][j - 1]);
            else if (j > 0)
                fits[i][j] = fits[i - 1][j - 1] && (p == "?" || p == name[j - 1]);
        }
    }
    return fits[pattern.size()][name.size()];
}

bool referenceMatch(std::string_view pattern, std::string_view name)
{
    const std::vector<std::string> p = characters(CaseFold::toUpper(pattern));
    const std::vector<std::string> n = characters(CaseFold::toUpper(name));
    if (slowMatch(p, n))
        return true;
    const bool dotStar = p.size() >= 2 && p[p.size() - 2] == "." && p.back() == "*";
    bool hasDot = false;
    for (const std::string& c : n)
        hasDot = hasDot || c == ".";
    return dotStar && !hasDot && slowMatch({p.begin(), p.end() - 2}, n);
}

} // namespace

// The input is the pattern, a zero byte, then the name; without a zero byte both
// are the input's halves.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t cut = input.find('\0');
    const bool separated = cut != std::string_view::npos;
    if (!separated)
        cut = size / 2;
    const std::string_view pattern = input.substr(0, cut);
    const std::string_view name = input.substr(separated ? cut + 1 : cut);
    // Longer than any name a folder listing gives: nothing more to learn.
    if (pattern.size() > 300 || name.size() > 600)
        return 0;

    const NamePattern compiled(pattern);
    const bool expected = referenceMatch(pattern, name);
    const bool got = compiled.matches(name);
    QV_FUZZ_CHECK(got == expected, "pattern «" + shown(pattern) + "» name «" + shown(name) + "»: matcher says "
                                       + (got ? "match" : "no match"));
    QV_FUZZ_CHECK(compiled.matchesFolded(CaseFold::toUpper(name)) == got,
                  "matchesFolded differs from matches for «" + shown(name) + "»");
    QV_FUZZ_CHECK(!compiled.matchesEverything() || got, "a pattern that matches everything missed «" + shown(name) + "»");
    return 0;
}
