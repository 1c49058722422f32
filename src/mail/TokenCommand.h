// TokenCommand.h - OAuthTokenCommand=: a program of the user's that prints an access token (a
// password manager, a company's sign-in tool). It runs without a shell, with a time-out, and
// only the first line of its standard output is taken; its standard error goes where ours goes.
#pragma once
#include <string>
#include <vector>

// The words of a command line: split on blanks, where '...' or "..." keep blanks inside (no
// escapes). False for an unclosed quote or no words.
bool SplitCommandLine(const std::string& strLine, std::vector<std::string>& words);

// Runs the program (words[0], looked up in PATH when it has no "/") with the rest as its
// arguments and waits at most nTimeoutSeconds. The first line of its output without the line end
// is the token; false with the reason (CP932) when it cannot be started, fails, hangs, or prints
// nothing. The words are CP932.
bool RunTokenCommand(const std::vector<std::string>& words, int nTimeoutSeconds,
                     std::string& strToken, std::string& strError);

// The token in the program's output (its first line, without the line end, printable ASCII);
// false with the reason when there is none. strName is the program, for the reason.
bool TokenOfOutput(const std::string& strOutput, const std::string& strName, std::string& strToken,
                   std::string& strError);

// How long the program may take.
constexpr int kTokenCommandTimeout = 30;
