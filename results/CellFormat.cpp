#include "results/CellFormat.h"

#include "platform/Utf8.h"

#include <array>
#include <ctime>

namespace qv::CellFormat {
namespace {

// Calendar date of a day count since 1970-01-01 (proleptic Gregorian).
void civilFromDays(std::int64_t days, std::int64_t& year, int& month, int& day)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

// The local UTC offset of each day is looked up once: formatting hundreds of
// thousands of times through localtime_r costs more than the walk itself. A day
// whose offset changes (a daylight-saving switch) is asked second by second.
struct OffsetCacheEntry {
    std::int64_t day = -1;
    long offset = 0;
    bool valid = false;
};

bool utcOffsetAt(std::int64_t t, long& offset)
{
    thread_local std::array<OffsetCacheEntry, 4096> cache;
    const std::int64_t day = t / 86400;
    OffsetCacheEntry& entry = cache[static_cast<std::size_t>(day) % cache.size()];
    if (entry.day != day) {
        entry.day = day;
        entry.valid = false;
        const std::time_t start = static_cast<std::time_t>(day * 86400);
        const std::time_t end = start + 86399;
        std::tm a{}, b{};
        if (localtime_r(&start, &a) && localtime_r(&end, &b) && a.tm_gmtoff == b.tm_gmtoff) {
            entry.offset = a.tm_gmtoff;
            entry.valid = true;
        }
    }
    if (entry.valid) {
        offset = entry.offset;
        return true;
    }
    // The offset changes inside this day: ask for this very second.
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!localtime_r(&tt, &tm))
        return false;
    offset = tm.tm_gmtoff;
    return true;
}

void appendDigits(std::string& out, std::int64_t value, int width)
{
    char buf[24];
    int n = 0;
    do {
        buf[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int i = n; i < width; ++i)
        out.push_back('0');
    while (n > 0)
        out.push_back(buf[--n]);
}

} // namespace

std::string time(std::int64_t secondsSinceEpoch)
{
    if (secondsSinceEpoch < 0)
        return {};
    long offset = 0;
    if (!utcOffsetAt(secondsSinceEpoch, offset))
        return {};
    const std::int64_t local = secondsSinceEpoch + offset;
    const std::int64_t days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
    const std::int64_t secondsOfDay = local - days * 86400;
    std::int64_t year = 0;
    int month = 0, day = 0;
    civilFromDays(days, year, month, day);
    if (year < 0 || year > 9999)
        return {};
    std::string out;
    out.reserve(16);
    appendDigits(out, year, 4);
    out.push_back('/');
    appendDigits(out, month, 2);
    out.push_back('/');
    appendDigits(out, day, 2);
    out.push_back(' ');
    appendDigits(out, secondsOfDay / 3600, 2);
    out.push_back(':');
    appendDigits(out, secondsOfDay / 60 % 60, 2);
    return out;
}

std::string sizeKb(std::int64_t bytes)
{
    std::string out = std::to_string(bytes / 1024);
    out += " KB";
    return out;
}

std::string displayText(std::string_view bytes)
{
    return Utf8::sanitized(bytes);
}

} // namespace qv::CellFormat
