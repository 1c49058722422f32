// LocalTime.h - local-time formatting with the POSIX strftime codes.
#pragma once
#include <ctime>
#include <string>

// Formats t in local time with strftime codes (%Y %m %d %H %M %S ...); the pattern's other bytes,
// CP932 text included, are copied unchanged.
std::string FormatLocalTime(std::time_t t, const char* pszPattern);
