// OAuthSasl.cpp - OAUTHBEARER and XOAUTH2 responses.
#include "mail/OAuthSasl.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace
{
bool Offers(const SmtpCapabilities& capabilities, const char* pszMechanism)
{
    const auto& offered = capabilities.authMechanisms;
    return std::find(offered.begin(), offered.end(), pszMechanism) != offered.end();
}

// The authzid of a GS2 header: "=" and "," written as "=3D" and "=2C" (RFC 5801).
std::string Gs2Name(const std::string& strUser)
{
    std::string strOut;
    for (const char c : strUser)
        strOut += c == '=' ? "=3D" : c == ',' ? "=2C" : std::string(1, c);
    return strOut;
}
} // namespace

OAuthMechanism ChooseOAuthMechanism(const SmtpCapabilities& capabilities)
{
    if (Offers(capabilities, "OAUTHBEARER"))
        return OAuthMechanism::oauthBearer;
    if (Offers(capabilities, "XOAUTH2"))
        return OAuthMechanism::xoauth2;
    return OAuthMechanism::none;
}

std::string OAuthAuthCommand(OAuthMechanism mechanism, const std::string& strUser,
                             const std::string& strToken, int& nShown)
{
    const std::string strBearer = "auth=Bearer " + strToken + "\x01\x01";
    const std::string strCommand =
        mechanism == OAuthMechanism::oauthBearer ? "AUTH OAUTHBEARER " : "AUTH XOAUTH2 ";
    nShown = static_cast<int>(strCommand.size());
    if (mechanism == OAuthMechanism::oauthBearer)
        return strCommand + Base64("n,a=" + Gs2Name(strUser) + ",\x01" + strBearer);
    return strCommand + Base64("user=" + strUser + "\x01" + strBearer);
}

bool DecodeBase64(const std::string& strText, std::string& strBytes)
{
    strBytes.clear();
    if (strText.size() % 4 != 0)
        return false;
    unsigned int nBits = 0;
    int nCount = 0;
    std::size_t nPad = 0;
    for (const char c : strText)
    {
        int nValue = -1;
        if (c >= 'A' && c <= 'Z')
            nValue = c - 'A';
        else if (c >= 'a' && c <= 'z')
            nValue = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            nValue = c - '0' + 52;
        else if (c == '+')
            nValue = 62;
        else if (c == '/')
            nValue = 63;
        else if (c == '=')
        {
            ++nPad;
            nValue = 0;
        }
        if (nValue < 0 || (nPad > 0 && c != '=') || nPad > 2)
            return false;
        nBits = (nBits << 6) | static_cast<unsigned int>(nValue);
        if (++nCount == 4)
        {
            strBytes += static_cast<char>((nBits >> 16) & 0xFF);
            strBytes += static_cast<char>((nBits >> 8) & 0xFF);
            strBytes += static_cast<char>(nBits & 0xFF);
            nBits = 0;
            nCount = 0;
        }
    }
    strBytes.resize(strBytes.size() - nPad);
    return true;
}

std::string OAuthErrorStatus(const std::string& strChallengeBase64)
{
    std::string strJson;
    if (!DecodeBase64(strChallengeBase64, strJson))
        return std::string();
    const nlohmann::json json = nlohmann::json::parse(strJson, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return std::string();
    const auto it = json.find("status");
    std::string strStatus;
    if (it != json.end() && it->is_string())
        strStatus = it->get<std::string>();
    else if (it != json.end() && it->is_number_integer())
        strStatus = std::to_string(it->get<long>());
    // Only what can be shown as it is.
    if (strStatus.size() > 16 ||
        strStatus.find_first_not_of(
            "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_-") !=
            std::string::npos)
        return std::string();
    return strStatus;
}
