// WinTokenCommand.cpp - runs the token program with CreateProcessW (no shell: cmd.exe never sees
// the words), reading its output through a pipe; a program that hangs is ended at the time-out.
#include "mail/TokenCommand.h"

#include "app/WinText.h"

#include <windows.h>

namespace
{
constexpr std::size_t MAX_OUTPUT = 64 * 1024; // a token is a few kilobytes

// One word of the command line as the C runtime's argv parser reads it back: quoted when it
// holds a blank, a tab or a quote, or is empty; backslashes before a quote doubled.
void AppendQuoted(const std::wstring& word, std::wstring& line)
{
    if (!line.empty())
        line += L' ';
    if (!word.empty() && word.find_first_of(L" \t\"") == std::wstring::npos)
    {
        line += word;
        return;
    }
    line += L'"';
    std::size_t nBackslashes = 0;
    for (const wchar_t c : word)
    {
        if (c == L'\\')
        {
            ++nBackslashes;
            continue;
        }
        line.append(c == L'"' ? nBackslashes * 2 + 1 : nBackslashes, L'\\');
        nBackslashes = 0;
        line += c;
    }
    line.append(nBackslashes * 2, L'\\');
    line += L'"';
}

// The child's standard input: the null device, so a program that asks is not left waiting.
HANDLE OpenNullInput()
{
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         OPEN_EXISTING, 0, nullptr);
}
} // namespace

bool RunTokenCommand(const std::vector<std::string>& words, int nTimeoutSeconds,
                     std::string& strToken, std::string& strError)
{
    strToken.clear();
    const std::string strName = words.empty() ? std::string() : words[0];
    std::wstring commandLine;
    for (const std::string& strWord : words)
    {
        std::wstring word;
        if (!SjisToWide(strWord, word))
        {
            strError = "OAuthTokenCommand を変換できません"; // troubleshooting
            return false;
        }
        AppendQuoted(word, commandLine);
    }
    const std::string strCannotStart =
        "OAuthTokenCommand を起動できません: " + strName; // troubleshooting
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE hRead = nullptr;
    HANDLE hWrite = nullptr;
    if (words.empty() || !::CreatePipe(&hRead, &hWrite, &inherit, 0))
    {
        strError = strCannotStart;
        return false;
    }
    ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0); // only the child's end is inherited
    const HANDLE hNull = OpenNullInput();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = hNull;
    startup.hStdOutput = hWrite;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    // No application name: the first word is looked up as Windows does (the program's folder,
    // the system folders, PATH; ".exe" added when it has no extension).
    const bool bStarted =
        ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                         nullptr, nullptr, &startup, &process) != 0;
    ::CloseHandle(hWrite); // the pipe ends when the child's copy closes
    if (hNull != INVALID_HANDLE_VALUE)
        ::CloseHandle(hNull);
    if (!bStarted)
    {
        ::CloseHandle(hRead);
        strError = strCannotStart;
        return false;
    }
    ::CloseHandle(process.hThread);

    std::string strOutput;
    bool bTimedOut = false;
    const ULONGLONG nDeadline = ::GetTickCount64() + static_cast<ULONGLONG>(nTimeoutSeconds) * 1000;
    for (;;)
    {
        DWORD nAvailable = 0;
        if (!::PeekNamedPipe(hRead, nullptr, 0, nullptr, &nAvailable, nullptr))
            break; // every writer has closed: the output is complete
        if (nAvailable > 0)
        {
            char buffer[4096];
            DWORD nGot = 0;
            if (!::ReadFile(hRead, buffer,
                            sizeof(buffer) < nAvailable ? sizeof(buffer) : nAvailable, &nGot,
                            nullptr) ||
                nGot == 0)
                break;
            if (strOutput.size() < MAX_OUTPUT)
                strOutput.append(buffer, nGot);
            continue;
        }
        // Nothing to read: the child has ended (a grandchild may still hold the pipe), or wait.
        if (::WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
        {
            if (::PeekNamedPipe(hRead, nullptr, 0, nullptr, &nAvailable, nullptr) && nAvailable > 0)
                continue;
            break;
        }
        if (::GetTickCount64() >= nDeadline)
        {
            bTimedOut = true;
            break;
        }
        ::Sleep(10);
    }
    ::CloseHandle(hRead);
    if (bTimedOut)
        ::TerminateProcess(process.hProcess, 1);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD nExitCode = 0;
    ::GetExitCodeProcess(process.hProcess, &nExitCode);
    ::CloseHandle(process.hProcess);
    if (bTimedOut)
    {
        strError = "OAuthTokenCommand が " + std::to_string(nTimeoutSeconds) +
                   " 秒以内に終わりませんでした: " + strName; // troubleshooting
        return false;
    }
    if (nExitCode != 0)
    {
        strError = "OAuthTokenCommand が失敗しました (終了コード " + // troubleshooting
                   std::to_string(nExitCode) + "): " + strName;
        return false;
    }
    return TokenOfOutput(strOutput, strName, strToken, strError);
}
