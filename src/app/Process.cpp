// Process.cpp - the program's folder and raw command line.
#include "app/Process.h"

#include "app/TextCodec.h"

#include <climits>
#include <unistd.h>

std::string ProgramFolder(std::string& strError)
{
    char buf[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0)
    {
        strError = "the program file's path cannot be read from /proc/self/exe";
        return std::string();
    }
    std::string path(buf, static_cast<std::size_t>(n));
    path.erase(path.rfind('/') + 1);
    std::string sjis;
    if (!Utf8ToSjis(path, sjis))
    {
        strError = "the program folder's name cannot be written in Shift_JIS (CP932): " + path;
        return std::string();
    }
    if (sjis.size() > 255)
    {
        strError = "the program folder's path is longer than 255 bytes: " + path;
        return std::string();
    }
    return sjis;
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
