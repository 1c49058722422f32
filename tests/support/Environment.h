// Environment.h - setting the process's environment from a test, on either platform.
#pragma once

void SetEnvironment(const char* pszName, const char* pszValue);
void UnsetEnvironment(const char* pszName);
// The local time zone from TZ again, after it was changed.
void ReadTimeZone();

// Whether files carry POSIX permission bits (not on Windows, where access rights are ACLs).
bool HasPosixFileModes();

// Sends this process the request to end that the user's interrupt gives (SIGTERM; Ctrl+Break to
// the console on Windows). False, with nothing sent, when there is nothing to send it through.
bool SendCloseRequestToSelf();
