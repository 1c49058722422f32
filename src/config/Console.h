// Console.h - what tarvell-config asks of the terminal (a console on Windows) it runs in.
#pragma once

// Standard input, output and error carry the bytes unchanged (UTF-8 text, CSV files); a console
// is set to show and take UTF-8.
void PrepareStandardStreams();

// Turns echo off for a typed password; false when standard input is no terminal. Until
// ShowTyping, an interrupt first turns echo back on.
bool HideTyping();
void ShowTyping();
