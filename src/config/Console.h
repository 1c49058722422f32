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
