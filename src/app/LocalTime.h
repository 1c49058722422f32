// LocalTime.h - local-time formatting with the POSIX strftime codes.
#pragma once
#include <ctime>
#include <string>

// Formats t in local time with strftime codes (%Y %m %d %H %M %S ...); the pattern's other bytes,
// CP932 text included, are copied unchanged.
std::string FormatLocalTime(std::time_t t, const char* pszPattern);

// t in local time (thread-safe); false when it cannot be given.
bool ToLocalTime(std::time_t t, std::tm& tmLocal);

// How far tmLocal, the local time of t, is ahead of UTC, in seconds (negative west of UTC).
long UtcOffsetSeconds(std::time_t t, const std::tm& tmLocal);
