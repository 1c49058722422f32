// WinText.h - UTF-16 at the Windows API's boundary, for the Win*.cpp files only. All return
// false when a character cannot be converted.
#pragma once
#include <string>
#include <string_view>

bool MultiByteToWide(unsigned nCodePage, std::string_view in, std::wstring& out);
bool WideToMultiByte(unsigned nCodePage, std::wstring_view in, std::string& out);
bool Utf8ToWide(std::string_view in, std::wstring& out);
bool WideToUtf8(std::wstring_view in, std::string& out);
// CP932 text (a path, the command line) to and from UTF-16, under TextCodec's checks.
bool SjisToWide(std::string_view sjis, std::wstring& out);
bool WideToSjis(std::wstring_view wide, std::string& out);

// The arguments of a command line (GetCommandLineW): what follows the program's name and the
// blanks after it. The name ends, as the C runtime ends argv[0], at the first blank or tab
// outside double quotes.
std::wstring_view ArgumentsOf(std::wstring_view commandLine);
