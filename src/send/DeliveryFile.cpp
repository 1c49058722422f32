// DeliveryFile.cpp - reading and writing Delivery.ini.
#include "send/DeliveryFile.h"

#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "send/SendInfFile.h"

const char* const kDeliveryFileName = "Delivery.ini";

namespace
{
// The value of key in the text made by WithoutBlanks; empty when absent.
std::string ValueOf(const std::string& strText, const char* pszKey)
{
    std::string strValue;
    std::string strKey = "\n";
    strKey.append(pszKey).append("=");
    CSendInfReader::GetKeyValue(strText, strKey, strValue);
    return strValue;
}

template <typename T>
void ReadChoice(const std::string& strText, const char* pszKey,
                bool (*pParse)(const std::string&, T&), T& value, std::string& strRefused)
{
    const std::string strValue = ValueOf(strText, pszKey);
    if (!strValue.empty() && !pParse(strValue, value) && strRefused.empty())
        strRefused = std::string(pszKey) + "=" + strValue;
}
} // namespace

// The text with the blanks around every key and value taken away, one line per LF: a key written
// as "SmtpSecurity = tls" must be read, never skipped as unknown.
std::string WithoutBlanks(const std::string& strText)
{
    std::string strLines = "\n"; // every line begins after LF: "XCaFile=" is not "CaFile="
    std::size_t nAt = 0;
    while (nAt < strText.size())
    {
        std::size_t nEnd = strText.find_first_of("\r\n", nAt);
        if (nEnd == std::string::npos)
            nEnd = strText.size();
        const std::string_view line(strText.data() + nAt, nEnd - nAt);
        const std::size_t nEq = line.find('=');
        if (nEq != std::string_view::npos)
            strLines += std::string(TrimAsciiSpace(line.substr(0, nEq))) + "=" +
                        std::string(TrimAsciiSpace(line.substr(nEq + 1))) + "\n";
        nAt = nEnd + 1;
    }
    return strLines;
}

DeliveryProfile ParseDeliveryProfile(const std::string& strText)
{
    const std::string strLines = WithoutBlanks(strText);
    DeliveryProfile profile;
    ReadChoice(strLines, kSmtpSecurityKey, ParseSmtpSecurity, profile.smtp, profile.strRefused);
    ReadChoice(strLines, kPopSecurityKey, ParsePopSecurity, profile.pop, profile.strRefused);
    ReadChoice(strLines, kAuthenticationKey, ParseAuthentication, profile.auth, profile.strRefused);
    profile.strCaFile = ValueOf(strLines, kCaFileKey);
    ReadChoice(strLines, kCharsetKey, ParseCharset, profile.charset, profile.strRefused);
    return profile;
}

std::string FormatDeliveryProfile(const DeliveryProfile& profile)
{
    return std::string(kSmtpSecurityKey) + "=" + SmtpSecurityName(profile.smtp) + "\r\n" +
           kPopSecurityKey + "=" + PopSecurityName(profile.pop) + "\r\n" + kAuthenticationKey +
           "=" + AuthenticationName(profile.auth) + "\r\n" + kCaFileKey + "=" + profile.strCaFile +
           "\r\n" + kCharsetKey + "=" + CharsetName(profile.charset) + "\r\n";
}

DeliveryProfile ReadDeliveryProfile(const std::string& strPath)
{
    if (!PathExists(strPath))
        return DeliveryProfile();
    return ParseDeliveryProfile(ReadWholeFile(strPath, MAX_DELIVERY_FILE_SIZE));
}

void WriteDeliveryProfile(const std::string& strPath, const DeliveryProfile& profile)
{
    const std::string strText = FormatDeliveryProfile(profile);
    WriteFileReplacing(strPath, strText.data(), strText.size());
}
