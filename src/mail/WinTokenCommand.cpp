// WinTokenCommand.cpp - OAuthTokenCommand= is not run on Windows yet.
#include "mail/TokenCommand.h"

bool RunTokenCommand(const std::vector<std::string>&, int, std::string& strToken,
                     std::string& strError)
{
    strToken.clear();
    strError = "OAuthTokenCommand は Windows ではまだ使えません";
    return false;
}
