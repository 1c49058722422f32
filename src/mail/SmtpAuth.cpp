// SmtpAuth.cpp - mechanism choice and the client's answers.
#include "mail/SmtpAuth.h"

#include "mail/MailEncoders.h"
#include "mail/Md5.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace
{
std::string Upper(std::string strText)
{
    for (char& c : strText)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return strText;
}

std::vector<std::string> Words(const std::string& strText)
{
    std::vector<std::string> words;
    std::size_t n = 0;
    while (n < strText.size())
    {
        const std::size_t nStart = strText.find_first_not_of(' ', n);
        if (nStart == std::string::npos)
            break;
        const std::size_t nEnd = std::min(strText.find(' ', nStart), strText.size());
        words.push_back(strText.substr(nStart, nEnd - nStart));
        n = nEnd;
    }
    return words;
}

// The bytes of one base64 text without line breaks: groups of four, padded only at the end.
std::optional<std::string> DecodeBase64(const std::string& strText)
{
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (strText.size() % 4 != 0)
        return std::nullopt;
    std::size_t nPadding = 0;
    while (nPadding < 2 && nPadding < strText.size() &&
           strText[strText.size() - 1 - nPadding] == '=')
        ++nPadding;
    std::string strBytes;
    unsigned nBits = 0;
    int nHeld = 0;
    for (std::size_t i = 0; i < strText.size() - nPadding; ++i)
    {
        const char* pAt = strText[i] != '\0' ? std::strchr(kAlphabet, strText[i]) : nullptr;
        if (pAt == nullptr)
            return std::nullopt;
        nBits = (nBits << 6) | static_cast<unsigned>(pAt - kAlphabet);
        nHeld += 6;
        if (nHeld >= 8)
        {
            nHeld -= 8;
            strBytes += static_cast<char>((nBits >> nHeld) & 0xFF);
        }
    }
    return strBytes;
}

bool Offers(const SmtpCapabilities& capabilities, const char* pszMechanism)
{
    const auto& offered = capabilities.authMechanisms;
    return std::find(offered.begin(), offered.end(), pszMechanism) != offered.end();
}
} // namespace

SmtpCapabilities ParseEhloReply(const std::vector<std::string>& lines)
{
    SmtpCapabilities capabilities;
    for (std::size_t i = 1; i < lines.size(); ++i) // the first line greets
    {
        std::vector<std::string> words = Words(Upper(lines[i]));
        if (words.empty())
            continue;
        if (words[0] == "STARTTLS")
            capabilities.bStartTls = true;
        else if (words[0] == "AUTH" || words[0].rfind("AUTH=", 0) == 0)
        {
            if (words[0] != "AUTH")
                words[0].erase(0, 5);
            else
                words.erase(words.begin());
            capabilities.authMechanisms.insert(capabilities.authMechanisms.end(), words.begin(),
                                               words.end());
        }
    }
    return capabilities;
}

AuthMechanism ChooseAuthMechanism(const SmtpCapabilities& capabilities, bool bEncrypted)
{
    if (!bEncrypted && Offers(capabilities, "CRAM-MD5"))
        return AuthMechanism::cramMd5;
    if (Offers(capabilities, "PLAIN"))
        return AuthMechanism::plain;
    if (Offers(capabilities, "LOGIN"))
        return AuthMechanism::login;
    return AuthMechanism::none;
}

std::string Base64(const std::string& strBytes)
{
    std::string strOut(4 * ((strBytes.size() + 2) / 3) + 1, '\0');
    EncodeBase64Bytes(static_cast<int>(strBytes.size()),
                      reinterpret_cast<const unsigned char*>(strBytes.data()), strOut.data());
    strOut.resize(strOut.size() - 1);
    return strOut;
}

std::string AuthPlainCommand(const std::string& strName, const std::string& strPassword)
{
    return "AUTH PLAIN " + Base64(std::string(1, '\0') + strName + '\0' + strPassword);
}

std::string CramMd5Response(const std::string& strName, const std::string& strPassword,
                            const std::string& strChallengeBase64)
{
    if (strChallengeBase64.empty() || strChallengeBase64.size() > 4096)
        return std::string();
    const std::optional<std::string> challenge = DecodeBase64(strChallengeBase64);
    if (!challenge)
        return std::string();
    const Md5Digest digest = HmacMd5(strPassword, *challenge);
    static const char kHex[] = "0123456789abcdef";
    std::string strAnswer = strName + " ";
    for (const unsigned char c : digest)
    {
        strAnswer += kHex[c >> 4];
        strAnswer += kHex[c & 0x0F];
    }
    return Base64(strAnswer);
}
