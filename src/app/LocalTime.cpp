// LocalTime.cpp - local-time formatting with the POSIX strftime codes.
#include "app/LocalTime.h"

std::string FormatLocalTime(std::time_t t, const char* pszPattern)
{
    std::tm tmLocal{};
    if (::localtime_r(&t, &tmLocal) == nullptr)
        return std::string();
    char buf[256];
    const std::size_t n = std::strftime(buf, sizeof(buf), pszPattern, &tmLocal);
    return std::string(buf, n);
}
