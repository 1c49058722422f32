// main.cpp - tarvell-config: hands its arguments to the command runner. A password typed at a
// terminal is asked for and not echoed.
#include "config/ConfigCommand.h"
#include "config/Console.h"

#include "app/Process.h"

#include <algorithm>
#include <iostream>

int main(int argc, char* argv[])
{
    ProtectSecretsInMemory();
    PrepareStandardStreams();
    const std::vector<std::string> args = Utf8Arguments(argc, argv);
    const bool bHidden =
        std::find(args.begin(), args.end(), "--password-stdin") != args.end() && HideTyping();
    if (bHidden)
        std::cerr << reinterpret_cast<const char*>(u8"パスワード: ") << std::flush;
    const int nStatus = RunTarvellConfig(args, std::cin, std::cout, std::cerr, DesktopBrowser());
    if (bHidden)
    {
        ShowTyping();
        std::cerr << '\n';
    }
    return nStatus;
}
