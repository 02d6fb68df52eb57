// The search form's controls by name. The numbers are those of the form's template
// (form101.svg); they name the widgets ("ctl1030") and nothing else.
#pragma once

namespace qv {

enum class FormControl : int {
    Animation = 156,          // the search animation, inside AnimationFrame
    AnimationFrame = 1031,
    NameLabel = 1025,
    NameBox = 1030,           // name patterns, with their history
    TypeLabel = 1026,
    TypeList = 1002,
    ContainingLabel = 1027,
    ContainingCheck = 1024,
    ContainingBox = 1032,     // containing strings, with their history
    PlaceLabel = 1028,
    PlaceBox = 1003,
    SubFolders = 1008,
    OptionsCheck = 1010,      // shows and hides the option area
    SearchButton = 1004,
    StopButton = 1005,
    PauseButton = 1006,
    OptionGroup = 1011,
    TimeCheck = 1015,
    SizeCheck = 1016,
    TimeTypeLabel = 1017,
    TimeTypeList = 1012,
    StartLabel = 1018,
    StartPicker = 154,
    EndLabel = 1019,
    EndPicker = 155,
    MinSizeLabel = 1020,
    MinSize = 1013,
    MaxSizeLabel = 1021,
    MaxSize = 1014,
    KbLabel = 1022,
    // Not of the template: below the option area, in the style of its check boxes.
    DocumentsCheck = 1033,    // office documents and PDFs searched by their text
};

} // namespace qv
