// DeliveryFile.cpp - reading and writing Delivery.ini.
#include "send/DeliveryFile.h"

#include "app/FileSystem.h"
#include "app/Sjis.h"

#include <cstdint>
#include <iterator>
#include <string_view>
#include <utility>

namespace
{
// One known key: how its value is read into the profile. An empty value is refused unless the
// key takes one (CaFile= with no file is what the dialog writes).
bool Take(const std::string& strValue, std::string& strField)
{
    strField = strValue;
    return true;
}

struct KnownKey
{
    const char* const* ppszName;
    bool (*pRead)(const std::string& strValue, DeliveryProfile& profile);
    bool bEmptyAllowed;
};

const KnownKey kKnownKeys[] = {
    {&kSmtpSecurityKey,
     [](const std::string& v, DeliveryProfile& p) { return ParseSmtpSecurity(v, p.smtp); }, false},
    {&kPopSecurityKey,
     [](const std::string& v, DeliveryProfile& p) {
         p.bPopSecurityGiven = true;
         return ParsePopSecurity(v, p.pop);
     },
     false},
    {&kAuthenticationKey,
     [](const std::string& v, DeliveryProfile& p) { return ParseAuthentication(v, p.auth); },
     false},
    {&kCaFileKey,
     [](const std::string& v, DeliveryProfile& p) {
         p.strCaFile = v;
         return true;
     },
     true},
    {&kCharsetKey,
     [](const std::string& v, DeliveryProfile& p) { return ParseCharset(v, p.charset); }, false},
    {&kSendIntervalKey,
     [](const std::string& v, DeliveryProfile& p) {
         // Whole seconds, digits only, at most an hour.
         if (v.empty() || v.size() > 4 || v.find_first_not_of("0123456789") != std::string::npos)
             return false;
         p.nSendInterval = std::stoi(v);
         p.bSendIntervalGiven = true;
         return p.nSendInterval <= kMaxSendInterval;
     },
     false},
    {&kOAuthProviderKey,
     [](const std::string& v, DeliveryProfile& p) {
         return ParseOAuthProvider(v, p.oauth.provider);
     },
     false},
    {&kOAuthClientIdKey,
     [](const std::string& v, DeliveryProfile& p) { return Take(v, p.oauth.strClientId); }, true},
    {&kOAuthTenantKey,
     [](const std::string& v, DeliveryProfile& p) { return Take(v, p.oauth.strTenant); }, false},
    {&kOAuthAuthorizeUrlKey,
     [](const std::string& v, DeliveryProfile& p) { return Take(v, p.oauth.strAuthorizeUrl); },
     true},
    {&kOAuthTokenUrlKey,
     [](const std::string& v, DeliveryProfile& p) { return Take(v, p.oauth.strTokenUrl); }, true},
    {&kOAuthDeviceUrlKey,
     [](const std::string& v, DeliveryProfile& p) { return Take(v, p.oauth.strDeviceUrl); }, true},
    {&kOAuthScopeKey,
     [](const std::string& v, DeliveryProfile& p) { return Take(v, p.oauth.strScope); }, true},
    {&kOAuthTokenCommandKey,
     [](const std::string& v, DeliveryProfile& p) { return Take(v, p.oauth.strTokenCommand); },
     true},
};

// Refuses the profile with the line as written (or what is wrong with the file); the first
// refusal is the one named.
void Refuse(DeliveryProfile& profile, std::string strWhat)
{
    if (profile.strRefused.empty())
        profile.strRefused = std::move(strWhat);
}
} // namespace

DeliveryProfile ParseDeliveryProfile(const std::string& strText)
{
    DeliveryProfile profile;
    // A file saved by another editor (UTF-8 with a byte order mark, UTF-16, a binary file) must
    // never be half read: every key it seems to hold could be missed, and missing keys mean
    // clear text.
    if (strText.rfind("\xEF\xBB\xBF", 0) == 0)
        Refuse(profile, "(UTF-8 の BOM)");
    else if (strText.find('\0') != std::string::npos)
        Refuse(profile, "(NUL を含むファイル: UTF-16 かバイナリ)");
    bool seen[std::size(kKnownKeys)] = {};
    std::size_t nAt = 0;
    while (profile.strRefused.empty() && nAt < strText.size())
    {
        std::size_t nEnd = strText.find('\n', nAt);
        if (nEnd == std::string::npos)
            nEnd = strText.size();
        const std::string_view line =
            TrimAsciiSpace(std::string_view(strText).substr(nAt, nEnd - nAt));
        nAt = nEnd + 1;
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue; // blank lines and comments
        const std::size_t nEq = line.find('=');
        const std::string strKey(
            TrimAsciiSpace(line.substr(0, nEq == std::string_view::npos ? line.size() : nEq)));
        const KnownKey* pKey = nullptr;
        for (const KnownKey& key : kKnownKeys)
            if (strKey == *key.ppszName)
                pKey = &key;
        if (nEq == std::string_view::npos || pKey == nullptr)
        {
            Refuse(profile, std::string(line)); // a misspelt or miscased key, "Key: value"
            continue;
        }
        const std::string strValue(TrimAsciiSpace(line.substr(nEq + 1)));
        bool& bSeen = seen[static_cast<std::size_t>(pKey - kKnownKeys)];
        if (bSeen || (strValue.empty() && !pKey->bEmptyAllowed) || !pKey->pRead(strValue, profile))
            Refuse(profile, std::string(strKey).append("=").append(strValue));
        bSeen = true;
    }
    // TLS for SMTP with a POP3 log-in in clear sends the password unencrypted after all: only a
    // file that says so in as many words may do that.
    if (profile.strRefused.empty() && profile.smtp != SmtpSecurity::none &&
        profile.auth == Authentication::popBeforeSmtp && profile.pop == PopSecurity::none &&
        !profile.bPopSecurityGiven)
        Refuse(profile,
               std::string(kPopSecurityKey)
                   .append("=(未指定: SMTP を暗号化しても POP3 のログインは暗号化されません。"
                           "そのままでよければ PopSecurity=none と書いてください)"));
    if (profile.strRefused.empty())
        Refuse(profile, OAuthSettingsProblem(profile));
    if (!profile.strRefused.empty())
    {
        DeliveryProfile refused; // what was read before the refusal is not used for anything
        refused.strRefused = profile.strRefused;
        return refused;
    }
    return profile;
}

std::string FormatDeliveryProfile(const DeliveryProfile& profile, bool bAllKeys)
{
    std::string strOAuth;
    if (bAllKeys || profile.auth == Authentication::oauth2)
    {
        const OAuthSettings& oauth = profile.oauth;
        const std::pair<const char*, std::string> keys[] = {
            {kOAuthProviderKey, OAuthProviderName(oauth.provider)},
            {kOAuthClientIdKey, oauth.strClientId},
            {kOAuthTenantKey, oauth.strTenant},
            {kOAuthAuthorizeUrlKey, oauth.strAuthorizeUrl},
            {kOAuthTokenUrlKey, oauth.strTokenUrl},
            {kOAuthDeviceUrlKey, oauth.strDeviceUrl},
            {kOAuthScopeKey, oauth.strScope},
            {kOAuthTokenCommandKey, oauth.strTokenCommand}};
        for (const auto& [pszKey, strValue] : keys)
            strOAuth.append(pszKey).append("=").append(strValue).append("\r\n");
    }
    return std::string(kSmtpSecurityKey) + "=" + SmtpSecurityName(profile.smtp) + "\r\n" +
           kPopSecurityKey + "=" + PopSecurityName(profile.pop) + "\r\n" + kAuthenticationKey +
           "=" + AuthenticationName(profile.auth) + "\r\n" + kCaFileKey + "=" + profile.strCaFile +
           "\r\n" + kCharsetKey + "=" + CharsetName(profile.charset) + "\r\n" +
           (profile.nSendInterval != 0 || profile.bSendIntervalGiven
                ? std::string(kSendIntervalKey) + "=" + std::to_string(profile.nSendInterval) +
                      "\r\n"
                : std::string()) +
           strOAuth;
}

DeliveryProfile ReadDeliveryProfile(const std::string& strPath)
{
    if (!PathEntryExists(strPath))
        return DeliveryProfile();
    DeliveryProfile refused;
    // A dangling link, a folder or a FIFO named Delivery.ini is not a missing file: it would
    // otherwise mean clear text, and a FIFO would hold the send.
    if (!IsRegularFile(strPath))
        refused.strRefused = "(通常のファイルではありません)";
    else if (GetFileSizeOrZero(strPath) > static_cast<std::int64_t>(MAX_DELIVERY_FILE_SIZE))
        refused.strRefused.append("(")
            .append(std::to_string(MAX_DELIVERY_FILE_SIZE))
            .append(" バイトを超えています)");
    if (!refused.strRefused.empty())
        return refused;
    DeliveryProfile profile = ParseDeliveryProfile(ReadWholeFile(strPath, MAX_DELIVERY_FILE_SIZE));
    // A relative CA file lies beside Delivery.ini, whatever the working folder.
    if (!profile.strCaFile.empty() && !IsAbsolutePath(profile.strCaFile))
    {
        const std::size_t nSlash = LastFolderSeparator(strPath);
        profile.strCaFile = strPath.substr(0, nSlash == std::string::npos ? 0 : nSlash + 1)
                                .append(profile.strCaFile);
    }
    return profile;
}

void WriteDeliveryProfile(const std::string& strPath, const DeliveryProfile& profile)
{
    const std::string strText = FormatDeliveryProfile(profile);
    WriteFileReplacing(strPath, strText.data(), strText.size());
}
