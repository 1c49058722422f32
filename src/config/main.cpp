// main.cpp - tarvell-config: hands its arguments to the command runner. A password typed at a
// terminal is asked for and not echoed.
#include "config/ConfigCommand.h"

#include "app/Process.h"

#include <algorithm>
#include <csignal>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace
{
termios g_savedTerminal{};

void RestoreTerminal()
{
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
}

void OnInterrupt(int nSignal)
{
    RestoreTerminal();
    ::_exit(128 + nSignal);
}

// Turns echo off on the terminal; false when standard input is no terminal.
bool HideTyping()
{
    if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &g_savedTerminal) != 0)
        return false;
    termios quiet = g_savedTerminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    return ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
}
} // namespace

int main(int argc, char* argv[])
{
    ProtectSecretsInMemory();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const bool bHidden =
        std::find(args.begin(), args.end(), "--password-stdin") != args.end() && HideTyping();
    if (bHidden)
        std::cerr << reinterpret_cast<const char*>(u8"パスワード: ") << std::flush;
    const int nStatus = RunTarvellConfig(args, std::cin, std::cout, std::cerr);
    if (bHidden)
    {
        RestoreTerminal();
        std::cerr << '\n';
    }
    return nStatus;
}
