// ConfigCommand.h - tarvell-config: the sender record, the options and the address books of a
// program folder, set from a terminal with the same checks as the program's dialogs.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

// Runs one command line (arguments without the program name, UTF-8). The password is read from in
// only; out gets the command's output, err its messages (UTF-8). Returns a sysexits status: 0,
// EX_USAGE, EX_DATAERR, EX_NOINPUT, EX_CANTCREAT or EX_IOERR. Nothing is written unless every
// value passed its checks.
int RunTarvellConfig(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                     std::ostream& err);
