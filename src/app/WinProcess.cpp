// WinProcess.cpp - the program's folder and raw command line on Windows.
#include "app/Process.h"

#include "app/WinText.h"

#include <cwchar>
#include <windows.h>

namespace
{
// The two ways of having no data folder: "<kProgramFolder>C:/...<kNoAppData>".
constexpr const char* kProgramFolder = "the program folder "; // troubleshooting
constexpr const char* kNoAppData =
    " cannot be written and APPDATA names no folder";     // troubleshooting
constexpr const char* kDataFolder = "the data folder ";   // troubleshooting
constexpr const char* kNotCreated = " cannot be created"; // troubleshooting

// The program file's folder (UTF-16, its separators written as '/', ending in '/'); empty when
// unknown.
std::wstring ProgramFolderWide()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::wstring();
        if (n < path.size())
        {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    for (wchar_t& c : path)
        if (c == L'\\')
            c = L'/';
    const std::size_t nSlash = path.rfind(L'/');
    if (nSlash == std::wstring::npos)
        return std::wstring();
    path.erase(nSlash + 1);
    return path;
}

std::string Printable(const std::wstring& wide)
{
    std::string utf8;
    return WideToUtf8(wide, utf8) ? utf8 : std::string("?");
}

// The folder as CP932 text of at most 255 bytes, or empty with the reason.
std::string ToFolderText(const std::wstring& wide, const char* pszWhat, std::string& strError)
{
    std::string sjis;
    if (!WideToSjis(wide, sjis))
    {
        strError = std::string(pszWhat)
                       .append("'s name cannot be written in Shift_JIS (CP932): ")
                       .append(Printable(wide));
        return std::string();
    }
    if (sjis.size() > 255)
    {
        strError = std::string(pszWhat)
                       .append("'s path is longer than 255 bytes: ")
                       .append(Printable(wide));
        return std::string();
    }
    return sjis;
}

// Whether the user may create files in the folder: tried, since the folder's access rights (and
// the virtualisation of Program Files) decide it, not its read-only attribute.
bool CanCreateFilesIn(const std::wstring& folder)
{
    const std::wstring probe = folder + L".tarvell-write-test";
    const HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_EXISTS; // a probe of another run: writable
    ::CloseHandle(h);
    return true;
}

// Creates each missing folder of the path (ending in '/').
bool MakeFolders(const std::wstring& path)
{
    for (std::size_t nSlash = path.find_first_of(L"/\\", 3); nSlash != std::wstring::npos;
         nSlash = path.find_first_of(L"/\\", nSlash + 1))
    {
        const std::wstring part = path.substr(0, nSlash);
        if (!::CreateDirectoryW(part.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    const DWORD nAttributes = ::GetFileAttributesW(path.c_str());
    return nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
// Whether the folder lies in one of the system's program folders (Program Files, also for the
// 32-bit programs). An installed program keeps its users' files in their own folder even where
// the program folder can be written (by an administrator, or under Wine).
bool IsUnderProgramFiles(const std::wstring& folder)
{
    const auto normal = [](std::wstring text) {
        for (wchar_t& c : text)
            c = c == L'\\' ? L'/' : static_cast<wchar_t>(::towlower(c));
        if (!text.empty() && text.back() != L'/')
            text += L'/';
        return text;
    };
    const std::wstring candidate = normal(folder);
    for (const wchar_t* pszName : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432"})
    {
        const wchar_t* pszValue = ::_wgetenv(pszName);
        if (pszValue != nullptr && pszValue[0] != L'\0' &&
            candidate.rfind(normal(pszValue), 0) == 0)
            return true;
    }
    return false;
}
} // namespace

std::string ProgramFolder(std::string& strError)
{
    const std::wstring path = ProgramFolderWide();
    if (path.empty())
    {
        strError = "the program file's path cannot be read (GetModuleFileNameW)";
        return std::string();
    }
    return ToFolderText(path, "the program folder", strError);
}

std::string DataFolder(std::string& strError)
{
    const std::wstring program = ProgramFolderWide();
    if (program.empty())
    {
        strError = "the program file's path cannot be read (GetModuleFileNameW)";
        return std::string();
    }
    if (!IsUnderProgramFiles(program) && CanCreateFilesIn(program))
        return ToFolderText(program, "the program folder", strError);
    const wchar_t* pszAppData = ::_wgetenv(L"APPDATA");
    if (pszAppData == nullptr || pszAppData[0] == L'\0')
    {
        strError = std::string(kProgramFolder).append(Printable(program)).append(kNoAppData);
        return std::string();
    }
    std::wstring folder = pszAppData;
    for (wchar_t& c : folder)
        if (c == L'\\')
            c = L'/';
    if (folder.back() != L'/')
        folder += L'/';
    folder += L"Tarvell/";
    if (!MakeFolders(folder))
    {
        strError = std::string(kDataFolder).append(Printable(folder)).append(kNotCreated);
        return std::string();
    }
    return ToFolderText(folder, "the data folder", strError);
}

std::wstring_view ArgumentsOf(std::wstring_view commandLine)
{
    std::size_t n = 0;
    for (bool bQuoted = false; n < commandLine.size(); ++n)
    {
        const wchar_t c = commandLine[n];
        if (c == L'"')
            bQuoted = !bQuoted;
        else if (!bQuoted && (c == L' ' || c == L'\t'))
            break;
    }
    while (n < commandLine.size() && (commandLine[n] == L' ' || commandLine[n] == L'\t'))
        ++n;
    return commandLine.substr(n);
}

std::string RawCommandLine(int argc, const char* const* argv, std::string& strError)
{
    (void)argc;
    (void)argv; // split and converted by the C runtime: the line itself is wanted
    std::string sjis;
    if (!WideToSjis(ArgumentsOf(::GetCommandLineW()), sjis))
    {
        strError = "the command line cannot be written in Shift_JIS (CP932)";
        return std::string();
    }
    return sjis;
}

void ProtectSecretsInMemory()
{
    // Nothing to switch: a process of the same user may read this one's memory on Windows
    // anyway, and another user's may not.
}

std::string HostName()
{
    // From the system, not Winsock: no socket library needs starting for it.
    wchar_t szName[256] = {};
    DWORD nSize = sizeof(szName) / sizeof(szName[0]);
    std::string utf8;
    if (!::GetComputerNameExW(ComputerNameDnsHostname, szName, &nSize) ||
        !WideToUtf8(std::wstring_view(szName, nSize), utf8))
        return std::string();
    return utf8;
}
