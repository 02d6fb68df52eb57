// A file-name wildcard pattern: "*" any run of characters, "?" one character,
// the whole name, letters compared without regard to case.
#pragma once

#include <string>
#include <string_view>

namespace qv {

class NamePattern final {
public:
    explicit NamePattern(std::string_view pattern);

    bool matches(std::string_view name) const;
    const std::string& text() const { return m_pattern; }
    // "*" and "*.*": a caller can skip preparing the name.
    bool matchesEverything() const { return m_matchesEverything; }

    // Matching of a name that is already upper-cased (CaseFold::toUpper).
    bool matchesFolded(std::string_view upperName) const;

private:
    // The common shapes, "*TEXT*", "TEXT*", "*TEXT" and "TEXT", are plain byte
    // comparisons; anything else goes through the wildcard matcher.
    enum class Shape { Wildcard, Contains, Prefix, Suffix, Exact };

    std::string m_pattern;   // upper-cased
    std::string m_literal;   // the TEXT of the simple shapes
    Shape m_shape = Shape::Wildcard;
    std::string m_dotStarStem; // for "X.*": "X", which also matches a name with no extension
    bool m_matchesEverything = false;
    bool m_hasDotStarStem = false;
};

// The wildcard matcher itself, on texts of the same case.
bool wildcardMatch(std::string_view pattern, std::string_view name);

} // namespace qv
