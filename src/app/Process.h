// Process.h - what the program learns about itself at start: its folders and its command line.
#pragma once
#include <string>

// The folder of the program file as CP932 text ending in "/", resolved through /proc/self/exe
// (on Windows, GetModuleFileNameW, its '\\' written as '/').
// Empty with a reason in strError when it cannot be found, cannot be written in CP932, or is
// longer than 255 bytes.
std::string ProgramFolder(std::string& strError);

// The folder where the program keeps its records, books, log and keep copies (CP932, ending in
// "/"): the program file's folder when the user may write there, else $XDG_DATA_HOME/tarvell/
// (default ~/.local/share/tarvell/), created on first use; on Windows %APPDATA%\\Tarvell\\ when the
// program folder cannot be written or lies in Program Files. tarvell and tarvell-config agree on
// it. Empty with a reason in strError when it cannot be found or made.
std::string DataFolder(std::string& strError);

// The choice behind DataFolder, without touching the disk: strProgramDir (UTF-8, ending in "/")
// when bWritable and not under /usr/ (the system's programs are no place for a user's files, not
// even root's), else the XDG folder from pszXdgDataHome (used when absolute) or pszHome. Empty
// when neither gives a folder.
std::string ChooseDataFolder(const std::string& strProgramDir, bool bWritable,
                             const char* pszXdgDataHome, const char* pszHome);

// argv[1..] joined with single blanks and converted from UTF-8 to CP932; on Windows, argv is not
// used: the command line exactly as given, after the program's name (GetCommandLineW). Empty
// with a reason in strError when an argument cannot be written in CP932.
std::string RawCommandLine(int argc, const char* const* argv, std::string& strError);

// Keeps the process out of core dumps and away from other processes of the same user (ptrace,
// /proc/PID/mem): from start to end it holds the sender's password in memory. Windows has no such
// switch for a process of its own; there it does nothing.
void ProtectSecretsInMemory();

// The computer's host name as the system gives it (ASCII for a usable one); empty when unknown.
std::string HostName();
