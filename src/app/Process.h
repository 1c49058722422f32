// Process.h - what the program learns about itself at start: its folder and its command line.
#pragma once
#include <string>

// The folder of the program file as CP932 text ending in "/", resolved through /proc/self/exe.
// Empty with a reason in strError when it cannot be found, cannot be written in CP932, or is
// longer than 255 bytes.
std::string ProgramFolder(std::string& strError);

// argv[1..] joined with single blanks and converted from UTF-8 to CP932. Empty with a reason in
// strError when an argument cannot be written in CP932.
std::string RawCommandLine(int argc, const char* const* argv, std::string& strError);
