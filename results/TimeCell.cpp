#include "results/TimeCell.h"

namespace qv::TimeCell {
namespace {

constexpr int kFirstYear = 1900;
constexpr std::uint32_t kMinutes = 60, kHours = 24, kDays = 31, kMonths = 12;
constexpr std::uint32_t kPerYear = kMonths * kDays * kHours * kMinutes;
constexpr std::uint32_t kYears = (std::uint32_t{1} << 31) / kPerYear; // the number fits in 31 bits

// The number of `count` digits at `from`; -1 when any is no digit.
int digits(std::string_view text, std::size_t from, std::size_t count)
{
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

void putDigits(char* at, int value, int count)
{
    for (int i = count - 1; i >= 0; --i, value /= 10)
        at[i] = static_cast<char>('0' + value % 10);
}

} // namespace

std::optional<std::uint32_t> pack(std::string_view text)
{
    if (text.size() != kTextSize || text[4] != '/' || text[7] != '/' || text[10] != ' ' || text[13] != ':')
        return std::nullopt;
    const int year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2), minute = digits(text, 14, 2);
    if (year < kFirstYear || static_cast<std::uint32_t>(year - kFirstYear) >= kYears || month < 1 || month > 12
        || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;
    std::uint32_t packed = static_cast<std::uint32_t>(year - kFirstYear);
    packed = packed * kMonths + static_cast<std::uint32_t>(month - 1);
    packed = packed * kDays + static_cast<std::uint32_t>(day - 1);
    packed = packed * kHours + static_cast<std::uint32_t>(hour);
    packed = packed * kMinutes + static_cast<std::uint32_t>(minute);
    return packed;
}

void unpack(std::uint32_t packed, char (&text)[kTextSize])
{
    const auto minute = static_cast<int>(packed % kMinutes);
    packed /= kMinutes;
    const auto hour = static_cast<int>(packed % kHours);
    packed /= kHours;
    const auto day = static_cast<int>(packed % kDays) + 1;
    packed /= kDays;
    const auto month = static_cast<int>(packed % kMonths) + 1;
    const auto year = static_cast<int>(packed / kMonths) + kFirstYear;
    putDigits(text, year, 4);
    text[4] = '/';
    putDigits(text + 5, month, 2);
    text[7] = '/';
    putDigits(text + 8, day, 2);
    text[10] = ' ';
    putDigits(text + 11, hour, 2);
    text[13] = ':';
    putDigits(text + 14, minute, 2);
}

} // namespace qv::TimeCell
