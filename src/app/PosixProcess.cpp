// PosixProcess.cpp - the program's folder and raw command line on Linux.
#include "app/Process.h"

#include "app/TextCodec.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// The program file's folder as the system names it (UTF-8), ending in "/"; empty when unknown.
std::string ProgramFolderUtf8()
{
    char buf[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0)
        return std::string();
    std::string path(buf, static_cast<std::size_t>(n));
    path.erase(path.rfind('/') + 1);
    return path;
}

// The folder as CP932 text of at most 255 bytes, or empty with the reason.
std::string ToFolderText(const std::string& strUtf8, const char* pszWhat, std::string& strError)
{
    std::string sjis;
    if (!Utf8ToSjis(strUtf8, sjis))
    {
        strError =
            std::string(pszWhat) + "'s name cannot be written in Shift_JIS (CP932): " + strUtf8;
        return std::string();
    }
    if (sjis.size() > 255)
    {
        strError = std::string(pszWhat) + "'s path is longer than 255 bytes: " + strUtf8;
        return std::string();
    }
    return sjis;
}

// mkdir -p, each new folder readable by its owner only.
bool MakeFolders(const std::string& strPath)
{
    for (std::size_t nSlash = strPath.find('/', 1); nSlash != std::string::npos;
         nSlash = strPath.find('/', nSlash + 1))
    {
        const std::string strPart = strPath.substr(0, nSlash);
        if (::mkdir(strPart.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st
    {
    };
    return ::stat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

std::string ProgramFolder(std::string& strError)
{
    const std::string path = ProgramFolderUtf8();
    if (path.empty())
    {
        strError = "the program file's path cannot be read from /proc/self/exe";
        return std::string();
    }
    return ToFolderText(path, "the program folder", strError);
}

std::string DataFolder(std::string& strError)
{
    const std::string strProgram = ProgramFolderUtf8();
    if (strProgram.empty())
    {
        strError = "the program file's path cannot be read from /proc/self/exe";
        return std::string();
    }
    const char* pszHome = std::getenv("HOME");
    if (pszHome == nullptr || pszHome[0] == '\0')
    {
        const passwd* pUser = ::getpwuid(::getuid());
        pszHome = pUser != nullptr ? pUser->pw_dir : nullptr;
    }
    std::string strFolder = ChooseDataFolder(strProgram, ::access(strProgram.c_str(), W_OK) == 0,
                                             std::getenv("XDG_DATA_HOME"), pszHome);
    // XDG_DATA_HOME and HOME may end in "/" themselves.
    for (std::size_t n; (n = strFolder.find("//")) != std::string::npos;)
        strFolder.erase(n, 1);
    if (strFolder.empty())
    {
        strError = "the program folder " + strProgram +
                   " cannot be written and neither XDG_DATA_HOME nor HOME names a folder";
        return std::string();
    }
    if (strFolder != strProgram && !MakeFolders(strFolder))
    {
        strError = "the data folder " + strFolder + " cannot be created: " + std::strerror(errno);
        return std::string();
    }
    return ToFolderText(strFolder, "the data folder", strError);
}

std::string RawCommandLine(int argc, const char* const* argv, std::string& strError)
{
    std::string utf8;
    for (int i = 1; i < argc; ++i)
    {
        if (i > 1)
            utf8 += ' ';
        utf8 += argv[i];
    }
    std::string sjis;
    if (!Utf8ToSjis(utf8, sjis))
    {
        strError = "the command line cannot be written in Shift_JIS (CP932)";
        return std::string();
    }
    return sjis;
}

void ProtectSecretsInMemory()
{
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

std::string HostName()
{
    char szName[256] = {};
    if (::gethostname(szName, sizeof(szName) - 1) != 0)
        return std::string();
    return szName;
}
