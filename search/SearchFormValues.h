// What the search form's controls hold, as plain values: the one input from which
// the form, qvsearch and the tests all build the search criteria.
#pragma once

#include <string>

namespace qv {

enum class CheckState { Unchecked, Checked, Indeterminate };

// A date-time picker's value in local time; valid is false when the picker has none.
struct PickerValue {
    bool valid = false;
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;

    friend bool operator==(const PickerValue&, const PickerValue&) = default;
};

struct SearchFormValues {
    CheckState subFolders = CheckState::Checked;     // "サブパスも検索"
    CheckState containing = CheckState::Unchecked;   // containing-string check box
    std::string containingText;                      // containing-string box
    CheckState documents = CheckState::Checked;      // "文書の中も検索"
    std::string nameText;                            // name box
    int typeIndex = 0;                               // row of the type list
    CheckState optionsShown = CheckState::Unchecked; // "検索オプション"
    CheckState sizeCondition = CheckState::Unchecked; // "サイズ"
    CheckState timeCondition = CheckState::Unchecked; // "時間"
    int timeTypeIndex = 0;                           // row of the time-type list, -1 for none
    PickerValue startTime;                           // "始:"
    PickerValue endTime;                             // "終:"
    std::string minSizeText;                         // after ">="
    std::string maxSizeText;                         // after "<="

    friend bool operator==(const SearchFormValues&, const SearchFormValues&) = default;
};

} // namespace qv
