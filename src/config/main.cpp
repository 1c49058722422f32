// main.cpp - tarvell-config: hands its arguments to the command runner.
#include "config/ConfigCommand.h"

#include <iostream>

int main(int argc, char* argv[])
{
    return RunTarvellConfig(std::vector<std::string>(argv + 1, argv + argc), std::cin, std::cout,
                            std::cerr);
}
