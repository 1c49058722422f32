// SmtpAuth.cpp - mechanism choice and the client's answers.
#include "mail/SmtpAuth.h"

#include "mail/MailEncoders.h"

#include <algorithm>
#include <openssl/evp.h>
#include <openssl/hmac.h>

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
    const std::size_t nIn = strChallengeBase64.size();
    if (nIn == 0 || nIn % 4 != 0 || nIn > 4096)
        return std::string();
    std::string strChallenge(nIn / 4 * 3, '\0');
    const int nDecoded = EVP_DecodeBlock(
        reinterpret_cast<unsigned char*>(strChallenge.data()),
        reinterpret_cast<const unsigned char*>(strChallengeBase64.data()), static_cast<int>(nIn));
    if (nDecoded < 0)
        return std::string();
    // EVP_DecodeBlock counts the padding as decoded zero bytes.
    std::size_t nLength = static_cast<std::size_t>(nDecoded);
    for (std::size_t n = nIn; n > 0 && strChallengeBase64[n - 1] == '='; --n)
        --nLength;
    strChallenge.resize(nLength);

    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int nDigest = 0;
    if (HMAC(EVP_md5(), strPassword.data(), static_cast<int>(strPassword.size()),
             reinterpret_cast<const unsigned char*>(strChallenge.data()), strChallenge.size(),
             digest, &nDigest) == nullptr)
        return std::string();
    static const char kHex[] = "0123456789abcdef";
    std::string strAnswer = strName + " ";
    for (unsigned int i = 0; i < nDigest; ++i)
    {
        strAnswer += kHex[digest[i] >> 4];
        strAnswer += kHex[digest[i] & 0x0F];
    }
    return Base64(strAnswer);
}
