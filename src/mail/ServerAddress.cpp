// ServerAddress.cpp - host and port of a server field.
#include "mail/ServerAddress.h"

namespace
{
bool ParsePort(const std::string& strText, int& nPort)
{
    if (strText.empty() || strText.size() > 5)
        return false;
    int nValue = 0;
    for (const char c : strText)
    {
        if (c < '0' || c > '9')
            return false;
        nValue = nValue * 10 + (c - '0');
    }
    if (nValue < 1 || nValue > 65535)
        return false;
    nPort = nValue;
    return true;
}
} // namespace

bool SplitServerField(const std::string& strField, int nDefaultPort, std::string& strHost,
                      int& nPort)
{
    nPort = nDefaultPort;
    if (!strField.empty() && strField[0] == '[')
    {
        const std::size_t nClose = strField.find(']');
        if (nClose == std::string::npos)
            return false;
        strHost = strField.substr(1, nClose - 1);
        const std::string strRest = strField.substr(nClose + 1);
        if (!strRest.empty() && (strRest[0] != ':' || !ParsePort(strRest.substr(1), nPort)))
            return false;
        return !strHost.empty();
    }
    const std::size_t nColon = strField.find(':');
    if (nColon == std::string::npos || strField.find(':', nColon + 1) != std::string::npos)
    {
        strHost = strField;
        return !strHost.empty();
    }
    strHost = strField.substr(0, nColon);
    return !strHost.empty() && ParsePort(strField.substr(nColon + 1), nPort);
}
