// DeliveryFile.cpp - reading and writing Delivery.ini.
#include "send/DeliveryFile.h"

#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "send/SendForm.h"

const char* const kDeliveryFileName = "Delivery.ini";

namespace
{
// The trimmed value of key in the text; empty when absent.
std::string ValueOf(const std::string& strText, const char* pszKey)
{
    std::string strValue;
    CSendForm::GetKeyValue(strText, std::string(pszKey) + "=", strValue);
    return std::string(TrimAsciiSpace(strValue));
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

DeliveryProfile ParseDeliveryProfile(const std::string& strText)
{
    // The key reader ends a value at CR or LF; a line end closes the last line.
    const std::string strLines = strText + "\r\n";
    DeliveryProfile profile;
    ReadChoice(strLines, kSmtpSecurityKey, ParseSmtpSecurity, profile.smtp, profile.strRefused);
    ReadChoice(strLines, kPopSecurityKey, ParsePopSecurity, profile.pop, profile.strRefused);
    ReadChoice(strLines, kAuthenticationKey, ParseAuthentication, profile.auth, profile.strRefused);
    profile.strCaFile = ValueOf(strLines, kCaFileKey);
    return profile;
}

std::string FormatDeliveryProfile(const DeliveryProfile& profile)
{
    return std::string(kSmtpSecurityKey) + "=" + SmtpSecurityName(profile.smtp) + "\r\n" +
           kPopSecurityKey + "=" + PopSecurityName(profile.pop) + "\r\n" + kAuthenticationKey +
           "=" + AuthenticationName(profile.auth) + "\r\n" + kCaFileKey + "=" + profile.strCaFile +
           "\r\n";
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
