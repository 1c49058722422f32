// LocalTime.cpp - local-time formatting with the POSIX strftime codes.
#include "app/LocalTime.h"

std::string FormatLocalTime(std::time_t t, const char* pszPattern)
{
    std::tm tmLocal{};
    if (::localtime_r(&t, &tmLocal) == nullptr)
        return std::string();
    char buf[256];
    // The patterns are the program's own constants, passed through this one function.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const std::size_t n = std::strftime(buf, sizeof(buf), pszPattern, &tmLocal);
#pragma GCC diagnostic pop
    return std::string(buf, n);
}
