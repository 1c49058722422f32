// Process.cpp - the choice of the data folder on Linux, kept apart from the disk for its tests.
#include "app/Process.h"

std::string ChooseDataFolder(const std::string& strProgramDir, bool bWritable,
                             const char* pszXdgDataHome, const char* pszHome)
{
    if (bWritable && strProgramDir.rfind("/usr/", 0) != 0)
        return strProgramDir;
    if (pszXdgDataHome != nullptr && pszXdgDataHome[0] == '/')
        return std::string(pszXdgDataHome) + "/tarvell/";
    if (pszHome != nullptr && pszHome[0] == '/')
        return std::string(pszHome) + "/.local/share/tarvell/";
    return std::string();
}
