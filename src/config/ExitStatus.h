// ExitStatus.h - the sysexits(3) statuses of tarvell-config, with the same numbers where the
// system has no <sysexits.h> (Windows).
#pragma once
#if __has_include(<sysexits.h>)
#include <sysexits.h>
#else
constexpr int EX_OK = 0;
constexpr int EX_USAGE = 64;
constexpr int EX_DATAERR = 65;
constexpr int EX_NOINPUT = 66;
constexpr int EX_SOFTWARE = 70;
constexpr int EX_CANTCREAT = 73;
constexpr int EX_IOERR = 74;
constexpr int EX_TEMPFAIL = 75;
#endif
