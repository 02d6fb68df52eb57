// Runs the content match over one in-memory file, read in pieces of every size
// given: a result that depends on where the pieces end is a fault.
#pragma once

#include "search/ContentMatcher.h"
#include "search/StopRequest.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/RecordingSink.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace qv::test {

struct Outcome {
    bool found;
    std::string text;
    bool operator==(const Outcome&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Outcome& o)
{
    return os << (o.found ? "found «" + o.text + "»" : std::string("not found"));
}

inline const Outcome kNone{false, ""};
inline Outcome found(const std::string& s) { return {true, s}; }

// encoding, when given, receives the encoding the file was searched in.
inline Outcome matchIn(const std::string& content, const std::vector<std::string>& strings,
                       std::vector<std::size_t> pieces = {1, 3, 7, 4096, 1 << 20},
                       std::optional<TextEncoding>* encoding = nullptr)
{
    std::optional<Outcome> agreed;
    for (std::size_t piece : pieces) {
        MemoryFileSystem files;
        FileEntry entry;
        entry.name = "f.txt";
        files.addFile("\\\\H\\s", entry, content);
        files.readPiece = piece;
        RecordingSink sink;
        StopRequest stop;
        ContentMatcher matcher(files, sink, stop);
        matcher.setStrings(strings);
        std::string text = "untouched";
        const bool found = matcher.match("\\\\H\\s\\f.txt", text);
        const Outcome outcome{found, found ? text : std::string()};
        if (!found) {
            EXPECT_EQ(text, "untouched") << "a failed match must leave the match text alone";
        }
        EXPECT_EQ(files.openReaders.load(), 0) << "file left open";
        if (encoding)
            *encoding = matcher.lastEncoding();
        if (agreed) {
            EXPECT_EQ(outcome, *agreed) << "pieces of " << piece << " bytes disagree";
        } else {
            agreed = outcome;
        }
    }
    return *agreed;
}

} // namespace qv::test
