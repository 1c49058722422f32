// ProgramRun.h - runs the built program as a separate process for end-to-end tests: a copy of the
// binary in a folder of its own (its program folder), no display, output captured, and a time-out
// after which it is killed.
#pragma once
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

struct ProgramResult
{
    bool bExited = false; // ended by itself (not killed by a signal or the time-out)
    int nExitCode = -1;
    bool bTimedOut = false;
    std::string strOut; // standard output, UTF-8
    std::string strErr; // standard error, UTF-8
};

// Copies the program under test into strDir (ending in "/") once and returns its path there:
// tarvell (TARVELL_BINARY), or tarvell-batch (TARVELL_BATCH_BINARY) when the environment holds
// TARVELL_TEST_PROGRAM=tarvell-batch, so that the same end-to-end tests run against either.
std::string InstallProgram(const std::string& strDir);

// Runs that program with the UTF-8 arguments, headless (DISPLAY and WAYLAND_DISPLAY unset,
// QT_QPA_PLATFORM=offscreen) plus extra "NAME=value" settings. onStarted, if given, is called
// with the process id while the program runs. After nTimeoutSeconds the program is killed.
// bAsNobody runs it as the user "nobody" (the caller must be root: see support/Unprivileged.h).
ProgramResult RunProgram(const std::string& strDir, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {}, int nTimeoutSeconds = 30,
                         const std::function<void(pid_t)>& onStarted = nullptr,
                         bool bAsNobody = false);
