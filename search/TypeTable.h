// What each row of the type list selects; the time-type list's size. (The lists' texts
// are in the string table.)
#pragma once

namespace qv {

// Bits of a type mask: which kinds of things a search may report.
enum TypeMaskBit : int {
    TypePrinters = 1,
    TypeWorkgroups = 2,
    TypeComputers = 4,
    TypeShares = 8,
    TypeFilesAndFolders = 16,
};

// The deepest network level a search goes down to.
enum WalkDepth : int {
    DepthWorkgroups = 0,
    DepthComputers = 1,
    DepthShares = 2,
    DepthFolders = 3,
};

struct TypeRow {
    int mask;
    int walkDepth;
};

enum class TimeType : int { Update = 0, Creation = 1, Access = 2 };

namespace TypeTable {

inline constexpr int kRowCount = 6;
inline constexpr int kTimeTypeCount = 3;

// Row 0 to 5 of the type list; out-of-range indexes are a caller's error.
const TypeRow& row(int index);
bool isValidIndex(int index);

} // namespace TypeTable
} // namespace qv
