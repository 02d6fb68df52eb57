// What every fuzz target reports a broken property with: the property and the input
// on standard error, then abort(), which libFuzzer takes for a crash and keeps the input of.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace qv::fuzz {

// The bytes with everything but printable ASCII as \xNN, for the report.
inline std::string shown(std::string_view bytes)
{
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '\\') {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        }
    }
    return out;
}

[[noreturn]] inline void fail(const char* property, const std::string& details)
{
    std::fprintf(stderr, "\nFUZZ CHECK FAILED: %s\n%s\n", property, details.c_str());
    std::abort();
}

} // namespace qv::fuzz

#define QV_FUZZ_CHECK(condition, details)                                                        \
    do {                                                                                          \
        if (!(condition))                                                                         \
            ::qv::fuzz::fail(#condition, details);                                                \
    } while (0)
