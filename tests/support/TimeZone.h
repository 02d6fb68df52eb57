// Sets the process's time zone for one test and puts the old one back.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

namespace qv::test {

class TimeZone final {
public:
    explicit TimeZone(const char* tz)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TimeZone()
    {
        if (m_old.empty())
            unsetenv("TZ");
        else
            setenv("TZ", m_old.c_str(), 1);
        tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    std::string m_old;
};

} // namespace qv::test
