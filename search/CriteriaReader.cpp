#include "search/CriteriaReader.h"

#include "platform/CaseFold.h"
#include "search/TypeTable.h"

#include <cerrno>
#include <ctime>
#include <limits>

namespace qv {
namespace {

bool isChecked(CheckState state) { return state == CheckState::Checked; }

std::string trimmedBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

// The text as stored in the criteria: without the ";" that closes its last piece.
std::string withoutClosingSeparator(const std::string& text)
{
    if (!text.empty() && text.back() == ';')
        return text.substr(0, text.size() - 1);
    return text;
}

} // namespace

std::vector<std::string> CriteriaReader::splitPieces(std::string_view text)
{
    std::string working(text);
    if (working.empty() || working.back() != ';')
        working.push_back(';');
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t pos = working.find(';'); pos != std::string::npos; pos = working.find(';', start)) {
        pieces.emplace_back(working, start, pos - start);
        start = pos + 1;
    }
    return pieces;
}

std::string CriteriaReader::patternOfPart(std::string_view part)
{
    std::string pattern = trimmedBlanks(part);
    if (pattern.empty())
        return "*";
    if (pattern.find_first_of("*?") == std::string::npos)
        return "*" + pattern + "*";
    return pattern;
}

void CriteriaReader::readNames(const std::string& text, SearchCriteria& criteria)
{
    criteria.nameText = withoutClosingSeparator(text);
    criteria.nameParts.clear();
    criteria.namePatterns.clear();
    for (const std::string& piece : splitPieces(text)) {
        std::string part = CaseFold::toUpper(piece);
        criteria.namePatterns.push_back(patternOfPart(part));
        criteria.nameParts.push_back(std::move(part));
    }
}

void CriteriaReader::readContaining(const std::string& text, SearchCriteria& criteria)
{
    criteria.containingText = withoutClosingSeparator(text);
    criteria.containingStrings.clear();
    for (const std::string& piece : splitPieces(text))
        criteria.containingStrings.push_back(CaseFold::toLower(piece));
}

std::int64_t CriteriaReader::leadingNumber(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    bool overflow = false;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        const int digit = text[pos] - '0';
        if (value > (kMax - digit) / 10)
            overflow = true;
        else
            value = value * 10 + digit;
    }
    if (overflow)
        return negative ? std::numeric_limits<std::int64_t>::min() : kMax;
    return negative ? -value : value;
}

std::optional<std::int64_t> CriteriaReader::calendarTime(const PickerValue& value)
{
    if (!value.valid)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = value.year - 1900;
    tm.tm_mon = value.month - 1;
    tm.tm_mday = value.day;
    tm.tm_hour = value.hour;
    tm.tm_min = value.minute;
    tm.tm_sec = value.second;
    tm.tm_isdst = -1; // the time zone's rules decide daylight-saving time
    errno = 0;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) && errno != 0)
        return std::nullopt;
    return static_cast<std::int64_t>(t);
}

void CriteriaReader::readOptions(const SearchFormValues& form, SearchCriteria& criteria)
{
    criteria.sizeCondition = isChecked(form.sizeCondition);
    criteria.timeCondition = isChecked(form.timeCondition);
    criteria.timeType = form.timeTypeIndex >= 0 && form.timeTypeIndex < TypeTable::kTimeTypeCount ? form.timeTypeIndex : 0;
    if (const auto start = calendarTime(form.startTime))
        criteria.startTime = *start;
    if (const auto end = calendarTime(form.endTime))
        criteria.endTime = *end;
    criteria.minimumKb = leadingNumber(form.minSizeText);
    criteria.maximumKb = leadingNumber(form.maxSizeText);
}

HistoryAdditions CriteriaReader::read(const SearchFormValues& form, const SearchPlace& place,
                                      SearchCriteria& criteria, SearchHistories& histories)
{
    HistoryAdditions added;
    criteria.subFolders = isChecked(form.subFolders);
    criteria.containing = isChecked(form.containing);
    criteria.documents = isChecked(form.documents);

    // The histories hold the lower-cased text before the closing ";" is added.
    std::string containing = CaseFold::toLower(form.containingText);
    if (histories.containing.remember(containing))
        added.containing = containing;
    readContaining(containing, criteria);

    std::string name = CaseFold::toLower(form.nameText);
    if (histories.names.remember(name))
        added.name = name;
    readNames(name, criteria);

    criteria.lookInPath = place.placePath;

    const TypeRow& type = TypeTable::row(TypeTable::isValidIndex(form.typeIndex) ? form.typeIndex : 0);
    criteria.typeIndex = TypeTable::isValidIndex(form.typeIndex) ? form.typeIndex : 0;
    criteria.typeMask = type.mask;
    criteria.walkDepth = type.walkDepth;

    criteria.optionsShown = isChecked(form.optionsShown);
    if (criteria.optionsShown)
        readOptions(form, criteria);
    return added;
}

} // namespace qv
