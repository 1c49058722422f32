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
// pOpenBrowser, when given, opens the browser's sign-in page of "oauth login" on this machine's
// desktop (false: it could not); without it the address is only printed, and the browser sign-in
// is offered only where DISPLAY or WAYLAND_DISPLAY names a desktop.
int RunTarvellConfig(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                     std::ostream& err, bool (*pOpenBrowser)(const std::string& strUrl) = nullptr);
