// WinUnprivileged.cpp - Windows has no "nobody" to switch to: the tests that need one skip.
#include "support/Unprivileged.h"

std::string NoUnprivilegedUserReason()
{
    return "Windows has no POSIX user \"nobody\" to run as";
}

bool BecomeNobody()
{
    return false;
}

std::string RunAsNobody(const std::function<std::string()>& fn)
{
    (void)fn;
    return "<child failed>";
}

void OpenToEveryone(const std::string& strDir)
{
    (void)strDir;
}
