// Turns the form's values into the search criteria, step by step, in the form's order.
#pragma once

#include "search/SearchCriteria.h"
#include "search/SearchFormValues.h"
#include "search/SearchHistory.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct SearchHistories {
    SearchHistory names;
    SearchHistory containing;
};

// Texts that entered a history on this reading: the form puts them at the top
// of the matching drop-down list.
struct HistoryAdditions {
    std::optional<std::string> name;
    std::optional<std::string> containing;
};

class CriteriaReader final {
public:
    // Reads every value into the criteria. Nothing is rejected: every text yields
    // some value. Fields of the option area keep their earlier values when the
    // option area is not shown.
    static HistoryAdditions read(const SearchFormValues& form, const SearchPlace& place,
                                 SearchCriteria& criteria, SearchHistories& histories);

    // The pieces of a ";"-separated text, the last ";" closing the last piece.
    static std::vector<std::string> splitPieces(std::string_view text);
    // The wildcard pattern of one name part.
    static std::string patternOfPart(std::string_view part);
    // The leading decimal number of a size text (blanks, an optional sign, digits);
    // 0 without digits, clamped to the 64-bit range.
    static std::int64_t leadingNumber(std::string_view text);
    // A picker's local date and time as seconds since 1970; nothing when invalid.
    static std::optional<std::int64_t> calendarTime(const PickerValue& value);

private:
    static void readNames(const std::string& text, SearchCriteria& criteria);
    static void readContaining(const std::string& text, SearchCriteria& criteria);
    static void readOptions(const SearchFormValues& form, SearchCriteria& criteria);
};

} // namespace qv
