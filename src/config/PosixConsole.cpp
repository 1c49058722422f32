// PosixConsole.cpp - the terminal through termios.
#include "config/Console.h"

#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace
{
termios g_savedTerminal{};

void OnInterrupt(int nSignal)
{
    ShowTyping();
    ::_exit(128 + nSignal);
}
} // namespace

void PrepareStandardStreams()
{
    // Streams are bytes already.
}

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

void ShowTyping()
{
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
}

std::vector<std::string> Utf8Arguments(int argc, char* argv[])
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

BrowserOpener DesktopBrowser()
{
    return nullptr;
}
