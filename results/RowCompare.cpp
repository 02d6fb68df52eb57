#include "results/RowCompare.h"

#include "platform/CaseFold.h"

#include <cstdint>

namespace qv::RowCompare {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The integer at the start of the text as strtoll reads it (leading blanks, a sign,
// decimal digits up to the first other character; 0 without digits; clamped to the
// 64-bit range), without copying the text to terminate it: sorting calls this for
// every row.
std::int64_t leadingInteger(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    // Accumulated as a negative number, whose range reaches INT64_MIN.
    std::int64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        const int digit = text[pos] - '0';
        if (value < (INT64_MIN + digit) / 10)
            return negative ? INT64_MIN : INT64_MAX;
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    return value == INT64_MIN ? INT64_MAX : -value;
}

} // namespace

std::int64_t sizeValue(std::string_view sizeCell)
{
    if (sizeCell.find("KB") == std::string_view::npos)
        return -1;
    return leadingInteger(sizeCell.substr(0, sizeCell.size() - 2));
}

std::string textKey(std::string_view cell)
{
    std::string key(cell);
    foldInPlace(key.data(), key.size());
    return key;
}

void foldInPlace(char* data, std::size_t size)
{
    CaseFold::toLowerInPlace(data, size);
}

int compareSizeValues(std::int64_t a, std::int64_t b)
{
    // The sign of a - b, without the overflow a subtraction could have.
    return (a > b) - (a < b);
}

int compareTextKeys(std::string_view a, std::string_view b)
{
    // Byte order of UTF-8 is the order of the characters' code points.
    const int c = a.compare(b);
    return (c > 0) - (c < 0);
}

int compareCells(Column column, std::string_view a, std::string_view b, bool ascending)
{
    const int result = column == Column::Size ? compareSizeValues(sizeValue(a), sizeValue(b))
                                              : compareTextKeys(textKey(a), textKey(b));
    return ascending ? result : -result;
}

} // namespace qv::RowCompare
