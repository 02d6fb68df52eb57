// The CP932 bytes of a UTF-8 text, as a Windows archive unpacked here leaves a name,
// made by the C library's converter.
#pragma once

#include <iconv.h>
#include <stdexcept>
#include <string>

namespace qv::test {

inline std::string cp932Bytes(const std::string& utf8)
{
    const iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("no CP932 converter");
    std::string out(utf8.size() * 2, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* to = out.data();
    std::size_t outLeft = out.size();
    const std::size_t converted = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    if (converted == static_cast<std::size_t>(-1) || inLeft != 0)
        throw std::runtime_error("text has no CP932 form: " + utf8);
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace qv::test
