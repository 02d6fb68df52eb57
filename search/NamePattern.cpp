#include "search/NamePattern.h"

#include "platform/CaseFold.h"
#include "platform/Utf8.h"

namespace qv {

namespace {

std::size_t characterLength(std::string_view text, std::size_t pos)
{
    return static_cast<unsigned char>(text[pos]) < 0x80 ? 1 : Utf8::sequenceLength(text, pos);
}

} // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size()) {
            const char pc = pattern[p];
            if (pc == '*') {
                starP = ++p;
                starN = n;
                continue;
            }
            if (pc == '?') {
                ++p;
                n += characterLength(name, n);
                continue;
            }
            // A literal character: the name's next character must be the same sequence,
            // not merely begin with it (a lone lead byte is a character of its own).
            const std::size_t len = characterLength(pattern, p);
            if (characterLength(name, n) == len && name.compare(n, len, pattern.substr(p, len)) == 0) {
                p += len;
                n += len;
                continue;
            }
        }
        if (starP == std::string_view::npos)
            return false;
        // Let the last "*" take one more character and retry from there.
        starN += characterLength(name, starN);
        n = starN;
        p = starP;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

NamePattern::NamePattern(std::string_view pattern)
    : m_pattern(CaseFold::toUpper(pattern))
{
    // The platform's find service treats a final ".*" as "any extension, or none",
    // so "*.*" lists every name and "A*.*" also lists "ABC".
    m_matchesEverything = m_pattern == "*.*" || m_pattern == "*";
    if (m_pattern.size() >= 2 && m_pattern.compare(m_pattern.size() - 2, 2, ".*") == 0) {
        m_hasDotStarStem = true;
        m_dotStarStem = m_pattern.substr(0, m_pattern.size() - 2);
        return;
    }
    const bool leadingStar = !m_pattern.empty() && m_pattern.front() == '*';
    const bool trailingStar = m_pattern.size() > 1 && m_pattern.back() == '*';
    const std::string literal = m_pattern.substr(leadingStar ? 1 : 0,
                                                 m_pattern.size() - (leadingStar ? 1 : 0) - (trailingStar ? 1 : 0));
    // Byte comparisons find only whole characters when the literal is valid UTF-8; a
    // byte that starts no character would match the first byte of one.
    if (literal.empty() || literal.find_first_of("*?") != std::string::npos || !Utf8::isValid(literal))
        return;
    m_literal = literal;
    m_shape = leadingStar ? (trailingStar ? Shape::Contains : Shape::Suffix) : (trailingStar ? Shape::Prefix : Shape::Exact);
}

bool NamePattern::matches(std::string_view name) const
{
    if (m_matchesEverything)
        return true;
    thread_local std::string folded;
    folded.assign(name);
    CaseFold::toUpperInPlace(folded.data(), folded.size());
    return matchesFolded(folded);
}

bool NamePattern::matchesFolded(std::string_view upperName) const
{
    if (m_matchesEverything)
        return true;
    const std::string_view literal = m_literal;
    switch (m_shape) {
    case Shape::Contains: return upperName.find(literal) != std::string_view::npos;
    case Shape::Prefix: return upperName.substr(0, literal.size()) == literal;
    case Shape::Suffix:
        return upperName.size() >= literal.size() && upperName.substr(upperName.size() - literal.size()) == literal;
    case Shape::Exact: return upperName == literal;
    case Shape::Wildcard: break;
    }
    if (wildcardMatch(m_pattern, upperName))
        return true;
    return m_hasDotStarStem && upperName.find('.') == std::string_view::npos
        && wildcardMatch(m_dotStarStem, upperName);
}

} // namespace qv
