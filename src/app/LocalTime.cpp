// LocalTime.cpp - local-time formatting with the POSIX strftime codes.
#include "app/LocalTime.h"

std::string FormatLocalTime(std::time_t t, const char* pszPattern)
{
    std::tm tmLocal{};
    if (!ToLocalTime(t, tmLocal))
        return std::string();
    char buf[256];
    // The patterns are the program's own constants, passed through this one function.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const std::size_t n = std::strftime(buf, sizeof(buf), pszPattern, &tmLocal);
#pragma GCC diagnostic pop
    return std::string(buf, n);
}

long UtcOffsetSeconds(std::time_t t, const std::tm& tmLocal)
{
    // The local time read as if it were UTC (days from the civil date, proleptic Gregorian),
    // less t: what tm_gmtoff says where the C library has it.
    long long nYear = tmLocal.tm_year + 1900LL;
    const int nMonth = tmLocal.tm_mon + 1;
    nYear -= nMonth <= 2 ? 1 : 0;
    const long long nEra = (nYear >= 0 ? nYear : nYear - 399) / 400;
    const long long nYearOfEra = nYear - nEra * 400;
    const long long nDayOfYear =
        (153 * (nMonth + (nMonth > 2 ? -3 : 9)) + 2) / 5 + tmLocal.tm_mday - 1;
    const long long nDayOfEra = nYearOfEra * 365 + nYearOfEra / 4 - nYearOfEra / 100 + nDayOfYear;
    const long long nDays = nEra * 146097 + nDayOfEra - 719468;
    const long long nLocal =
        nDays * 86400 + tmLocal.tm_hour * 3600LL + tmLocal.tm_min * 60LL + tmLocal.tm_sec;
    return static_cast<long>(nLocal - static_cast<long long>(t));
}
