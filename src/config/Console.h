// Console.h - what tarvell-config asks of the terminal (a console on Windows) it runs in.
#pragma once
#include <string>
#include <vector>

// The arguments after the program name as UTF-8: argv itself on POSIX, the wide command line on
// Windows (whose narrow argv is in the ANSI code page and loses what it cannot write).
std::vector<std::string> Utf8Arguments(int argc, char* argv[]);

// Standard input, output and error carry the bytes unchanged (UTF-8 text, CSV files); a console
// is set to show and take UTF-8.
void PrepareStandardStreams();

// Turns echo off for a typed password; false when standard input is no terminal. Until
// ShowTyping, an interrupt first turns echo back on.
bool HideTyping();
void ShowTyping();

// The opener of "oauth login"'s sign-in page in the user's browser, for RunTarvellConfig: on
// Windows the shell's "open" of an https address; nullptr on POSIX, where tarvell-config may run
// over ssh far from any browser and prints the address instead.
using BrowserOpener = bool (*)(const std::string& strUrl);
BrowserOpener DesktopBrowser();
