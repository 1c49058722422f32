// PosixEnvironment.cpp - the environment through setenv(3).
#include "support/Environment.h"

#include <csignal>
#include <cstdlib>
#include <ctime>

void SetEnvironment(const char* pszName, const char* pszValue)
{
    ::setenv(pszName, pszValue, 1);
}

void UnsetEnvironment(const char* pszName)
{
    ::unsetenv(pszName);
}

void ReadTimeZone()
{
    ::tzset();
}

bool HasPosixFileModes()
{
    return true;
}

bool SendCloseRequestToSelf()
{
    return std::raise(SIGTERM) == 0;
}
