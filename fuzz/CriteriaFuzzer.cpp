// The reading of the name and containing-string texts (and the size texts) into the
// criteria, against the rules: lower-cased texts without their closing ";", pieces
// cut at every ";", parts upper-cased with blanks kept, patterns trimmed of blanks
// and completed, and a plain word matching every name that holds it.
#include "fuzz/FuzzCheck.h"
#include "platform/CaseFold.h"
#include "search/CriteriaReader.h"
#include "search/NamePattern.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

using namespace qv;
using qv::fuzz::shown;

namespace {

std::string joined(const std::vector<std::string>& pieces)
{
    std::string out;
    for (std::size_t i = 0; i < pieces.size(); ++i)
        out += (i > 0 ? ";" : "") + pieces[i];
    return out;
}

std::string withoutClosingSemicolon(std::string text)
{
    if (!text.empty() && text.back() == ';')
        text.pop_back();
    return text;
}

std::size_t pieceCount(const std::string& text)
{
    std::size_t separators = 0;
    for (const char c : text)
        separators += c == ';';
    return separators + (text.empty() || text.back() != ';' ? 1 : 0);
}

// The leading number by the rule, in a wider type, clamped to 64 bits.
std::int64_t referenceNumber(const std::string& text)
{
    std::size_t pos = text.find_first_not_of(' ');
    if (pos == std::string::npos)
        return 0;
    bool negative = false;
    if (text[pos] == '+' || text[pos] == '-')
        negative = text[pos++] == '-';
    __int128 value = 0;
    constexpr __int128 kMax = std::numeric_limits<std::int64_t>::max();
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        value = std::min<__int128>(value * 10 + (text[pos] - '0'), kMax + 1);
    if (value > kMax)
        return negative ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(negative ? -value : value);
}

void checkNames(const std::string& typed, const SearchCriteria& c)
{
    const std::string lower = CaseFold::toLower(typed);
    QV_FUZZ_CHECK(lower.size() == typed.size(), "lower-casing changed the length of «" + shown(typed) + "»");
    QV_FUZZ_CHECK(c.nameText == withoutClosingSemicolon(lower), "name text of «" + shown(typed) + "»: «" + shown(c.nameText) + "»");
    QV_FUZZ_CHECK(c.nameParts.size() == c.namePatterns.size(), "parts and patterns differ in number");
    QV_FUZZ_CHECK(c.nameParts.size() == pieceCount(lower) && !c.nameParts.empty(),
                  "«" + shown(typed) + "» gave " + std::to_string(c.nameParts.size()) + " parts");
    QV_FUZZ_CHECK(joined(c.nameParts) == CaseFold::toUpper(c.nameText), "the parts of «" + shown(typed) + "» are not its pieces");
    for (std::size_t i = 0; i < c.nameParts.size(); ++i) {
        const std::string& part = c.nameParts[i];
        const std::string& pattern = c.namePatterns[i];
        QV_FUZZ_CHECK(CaseFold::toUpper(part) == part, "part «" + shown(part) + "» is not upper-cased");
        const std::size_t first = part.find_first_not_of(' ');
        const std::string trimmed = first == std::string::npos ? "" : part.substr(first, part.find_last_not_of(' ') - first + 1);
        const bool wild = trimmed.find_first_of("*?") != std::string::npos;
        const std::string expected = trimmed.empty() ? "*" : wild ? trimmed : "*" + trimmed + "*";
        QV_FUZZ_CHECK(pattern == expected, "part «" + shown(part) + "» gave pattern «" + shown(pattern) + "»");
        // A plain word matches every name that holds it.
        if (!wild) {
            const NamePattern compiled(pattern);
            const std::string name = "x" + trimmed + ".y";
            QV_FUZZ_CHECK(compiled.matches(name), "pattern «" + shown(pattern) + "» misses «" + shown(name) + "»");
        }
    }
}

void checkContaining(const std::string& typed, const SearchCriteria& c)
{
    const std::string lower = CaseFold::toLower(typed);
    QV_FUZZ_CHECK(c.containingText == withoutClosingSemicolon(lower), "containing text of «" + shown(typed) + "»");
    QV_FUZZ_CHECK(c.containingStrings.size() == pieceCount(lower) && !c.containingStrings.empty(),
                  "«" + shown(typed) + "» gave " + std::to_string(c.containingStrings.size()) + " strings");
    QV_FUZZ_CHECK(joined(c.containingStrings) == c.containingText, "the strings of «" + shown(typed) + "» are not its pieces");
    for (const std::string& s : c.containingStrings)
        QV_FUZZ_CHECK(CaseFold::toLower(s) == s, "string «" + shown(s) + "» is not lower-cased");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    SearchFormValues form;
    form.nameText = input.ConsumeRandomLengthString(256);
    form.containingText = input.ConsumeRandomLengthString(256);
    form.minSizeText = input.ConsumeRandomLengthString(40);
    form.maxSizeText = input.ConsumeRandomLengthString(40);
    form.typeIndex = input.ConsumeIntegralInRange(-2, 7);
    form.containing = CheckState::Checked;
    form.optionsShown = input.ConsumeBool() ? CheckState::Checked : CheckState::Indeterminate;
    form.sizeCondition = CheckState::Checked;

    SearchCriteria criteria;
    criteria.minimumKb = 7;
    SearchHistories histories;
    const HistoryAdditions first = CriteriaReader::read(form, SearchPlace{}, criteria, histories);
    checkNames(form.nameText, criteria);
    checkContaining(form.containingText, criteria);
    QV_FUZZ_CHECK(first.name == CaseFold::toLower(form.nameText), "a new name text did not enter the history");
    QV_FUZZ_CHECK(criteria.typeIndex >= 0 && criteria.typeIndex <= 5, "type index " + std::to_string(criteria.typeIndex));
    if (form.optionsShown == CheckState::Checked) {
        QV_FUZZ_CHECK(criteria.minimumKb == referenceNumber(form.minSizeText),
                      "size text «" + shown(form.minSizeText) + "» read as " + std::to_string(criteria.minimumKb));
        QV_FUZZ_CHECK(criteria.maximumKb == referenceNumber(form.maxSizeText),
                      "size text «" + shown(form.maxSizeText) + "» read as " + std::to_string(criteria.maximumKb));
    } else {
        QV_FUZZ_CHECK(criteria.minimumKb == 7, "an option was read while the options were not shown");
    }

    // The same texts once more: nothing new for the histories, the same criteria.
    SearchCriteria again;
    const HistoryAdditions second = CriteriaReader::read(form, SearchPlace{}, again, histories);
    QV_FUZZ_CHECK(!second.name && !second.containing, "a text entered the history twice");
    QV_FUZZ_CHECK(again.namePatterns == criteria.namePatterns && again.containingStrings == criteria.containingStrings,
                  "a second reading differs");
    return 0;
}
