// WinEnvironment.cpp - the environment of the C runtime, which getenv and the time zone read.
#include "support/Environment.h"

#include <cstdlib>
#include <ctime>
#include <windows.h>

void SetEnvironment(const char* pszName, const char* pszValue)
{
    ::_putenv_s(pszName, pszValue);
}

void UnsetEnvironment(const char* pszName)
{
    ::_putenv_s(pszName, ""); // an empty value removes the variable
}

void ReadTimeZone()
{
    ::_tzset();
}

bool HasPosixFileModes()
{
    return false;
}

bool SendCloseRequestToSelf()
{
    // Without a console of its own the process gets no control events.
    return ::GetConsoleWindow() != nullptr && ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0);
}
