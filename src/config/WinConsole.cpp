// WinConsole.cpp - the console through the Win32 console API.
#include "config/Console.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

namespace
{
DWORD g_nSavedMode = 0;

bool IsConsole(DWORD nStdHandle, DWORD& nMode)
{
    const HANDLE h = ::GetStdHandle(nStdHandle);
    return h != INVALID_HANDLE_VALUE && h != nullptr && ::GetConsoleMode(h, &nMode) != 0;
}

BOOL WINAPI OnInterrupt(DWORD nEvent)
{
    ShowTyping();
    ::ExitProcess(nEvent == CTRL_C_EVENT ? 130 : 143);
}
} // namespace

void PrepareStandardStreams()
{
    // No CR before each LF: `book export` writes a CSV file's exact bytes, and a CR already in
    // the text must not be doubled.
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    // The texts are UTF-8; a console shows them as such only in code page 65001. A pipe or file
    // gets the bytes as on Linux.
    DWORD nMode = 0;
    if (IsConsole(STD_OUTPUT_HANDLE, nMode) || IsConsole(STD_ERROR_HANDLE, nMode))
        ::SetConsoleOutputCP(CP_UTF8);
    if (IsConsole(STD_INPUT_HANDLE, nMode))
        ::SetConsoleCP(CP_UTF8);
}

bool HideTyping()
{
    if (!IsConsole(STD_INPUT_HANDLE, g_nSavedMode))
        return false;
    ::SetConsoleCtrlHandler(OnInterrupt, TRUE);
    return ::SetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE),
                            g_nSavedMode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
}

void ShowTyping()
{
    ::SetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), g_nSavedMode);
}

std::vector<std::string> Utf8Arguments(int /*argc*/, char* /*argv*/[])
{
    std::vector<std::string> args;
    int nArgs = 0;
    LPWSTR* ppArgs = ::CommandLineToArgvW(::GetCommandLineW(), &nArgs);
    if (ppArgs == nullptr)
        return args;
    for (int i = 1; i < nArgs; ++i)
    {
        const int nBytes =
            ::WideCharToMultiByte(CP_UTF8, 0, ppArgs[i], -1, nullptr, 0, nullptr, nullptr);
        std::string strArg(nBytes > 0 ? static_cast<std::size_t>(nBytes) : 1, '\0');
        if (nBytes > 0)
            ::WideCharToMultiByte(CP_UTF8, 0, ppArgs[i], -1, strArg.data(), nBytes, nullptr,
                                  nullptr);
        strArg.pop_back(); // the terminating NUL
        args.push_back(std::move(strArg));
    }
    ::LocalFree(ppArgs);
    return args;
}

namespace
{
bool OpenInBrowser(const std::string& strUrl)
{
    // Only a web address the program made: never a file or program the shell would run.
    if (strUrl.rfind("https://", 0) != 0 || strUrl.find_first_of(" \"\r\n") != std::string::npos)
        return false;
    const std::wstring url(strUrl.begin(), strUrl.end()); // ASCII, percent-encoded
    const HINSTANCE h =
        ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(h) > 32;
}
} // namespace

BrowserOpener DesktopBrowser()
{
    return OpenInBrowser;
}
