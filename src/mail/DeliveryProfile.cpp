// DeliveryProfile.cpp - default ports and the names of the profile's values.
#include "mail/DeliveryProfile.h"

#include <cstddef>
#include <utility>

const char* const kSmtpSecurityKey = "SmtpSecurity";
const char* const kPopSecurityKey = "PopSecurity";
const char* const kAuthenticationKey = "Authentication";
const char* const kCaFileKey = "CaFile";
const char* const kSendIntervalKey = "SendInterval";
const char* const kCharsetKey = "Charset";
const char* const kOAuthProviderKey = "OAuthProvider";
const char* const kOAuthClientIdKey = "OAuthClientId";
const char* const kOAuthTenantKey = "OAuthTenant";
const char* const kOAuthAuthorizeUrlKey = "OAuthAuthorizeUrl";
const char* const kOAuthTokenUrlKey = "OAuthTokenUrl";
const char* const kOAuthDeviceUrlKey = "OAuthDeviceUrl";
const char* const kOAuthScopeKey = "OAuthScope";
const char* const kOAuthTokenCommandKey = "OAuthTokenCommand";

namespace
{
template <typename T> struct Named
{
    T value;
    const char* pszName;
};

constexpr Named<SmtpSecurity> kSmtpNames[] = {
    {SmtpSecurity::none, "none"}, {SmtpSecurity::starttls, "starttls"}, {SmtpSecurity::tls, "tls"}};
constexpr Named<PopSecurity> kPopNames[] = {
    {PopSecurity::none, "none"}, {PopSecurity::stls, "stls"}, {PopSecurity::tls, "tls"}};
constexpr Named<Authentication> kAuthNames[] = {{Authentication::popBeforeSmtp, "pop-before-smtp"},
                                                {Authentication::smtpAuth, "smtp-auth"},
                                                {Authentication::none, "none"},
                                                {Authentication::oauth2, "oauth2"}};
constexpr Named<OAuthProvider> kProviderNames[] = {{OAuthProvider::microsoft, "microsoft"},
                                                   {OAuthProvider::google, "google"},
                                                   {OAuthProvider::custom, "custom"}};
constexpr Named<MailCharset> kCharsetNames[] = {{MailCharset::iso2022jp, "iso-2022-jp"},
                                                {MailCharset::utf8, "utf-8"}};

template <typename T, std::size_t N> const char* NameOf(const Named<T> (&names)[N], T value)
{
    for (const Named<T>& named : names)
        if (named.value == value)
            return named.pszName;
    return names[0].pszName;
}

template <typename T, std::size_t N>
bool ValueOf(const Named<T> (&names)[N], const std::string& strName, T& value)
{
    for (const Named<T>& named : names)
        if (strName == named.pszName)
        {
            value = named.value;
            return true;
        }
    return false;
}
} // namespace

int DefaultSmtpPort(const DeliveryProfile& profile)
{
    if (profile.smtp == SmtpSecurity::tls)
        return 465;
    if (profile.smtp == SmtpSecurity::starttls || profile.auth == Authentication::smtpAuth)
        return 587;
    return 25;
}

bool UsesOAuthPop(const DeliveryProfile& profile)
{
    return profile.auth == Authentication::oauth2 && profile.pop != PopSecurity::none;
}

int EffectiveSendInterval(const DeliveryProfile& profile)
{
    if (profile.bSendIntervalGiven || profile.auth != Authentication::oauth2 ||
        profile.oauth.provider != OAuthProvider::microsoft)
        return profile.nSendInterval;
    return kMicrosoftSendInterval;
}

int DefaultPop3Port(const DeliveryProfile& profile)
{
    return profile.pop == PopSecurity::tls ? 995 : 110;
}

const char* SmtpSecurityName(SmtpSecurity value)
{
    return NameOf(kSmtpNames, value);
}

const char* PopSecurityName(PopSecurity value)
{
    return NameOf(kPopNames, value);
}

const char* AuthenticationName(Authentication value)
{
    return NameOf(kAuthNames, value);
}

bool ParseSmtpSecurity(const std::string& strName, SmtpSecurity& value)
{
    return ValueOf(kSmtpNames, strName, value);
}

bool ParsePopSecurity(const std::string& strName, PopSecurity& value)
{
    return ValueOf(kPopNames, strName, value);
}

bool ParseAuthentication(const std::string& strName, Authentication& value)
{
    return ValueOf(kAuthNames, strName, value);
}

const char* CharsetName(MailCharset value)
{
    return NameOf(kCharsetNames, value);
}

bool ParseCharset(const std::string& strName, MailCharset& value)
{
    return ValueOf(kCharsetNames, strName, value);
}

const char* OAuthProviderName(OAuthProvider value)
{
    return NameOf(kProviderNames, value);
}

bool ParseOAuthProvider(const std::string& strName, OAuthProvider& value)
{
    return ValueOf(kProviderNames, strName, value);
}

OAuthEndpoints EndpointsOf(const OAuthSettings& oauth)
{
    switch (oauth.provider)
    {
    case OAuthProvider::microsoft: {
        const std::string strBase = std::string("https://login.microsoftonline.com/")
                                        .append(oauth.strTenant)
                                        .append("/oauth2/v2.0/");
        return {strBase + "authorize", strBase + "token", strBase + "devicecode",
                oauth.bPopScope ? "https://outlook.office.com/SMTP.Send "
                                  "https://outlook.office.com/POP.AccessAsUser.All offline_access"
                                : "https://outlook.office.com/SMTP.Send offline_access"};
    }
    case OAuthProvider::google:
        return {"https://accounts.google.com/o/oauth2/v2/auth",
                "https://oauth2.googleapis.com/token", "https://oauth2.googleapis.com/device/code",
                "https://mail.google.com/"};
    default:
        return {oauth.strAuthorizeUrl, oauth.strTokenUrl, oauth.strDeviceUrl, oauth.strScope};
    }
}

namespace
{
// Printable ASCII without blanks (bBlanks: with single blanks between words): what may stand in
// a URL or a scope the program sends.
bool IsPlainAscii(const std::string& strText, bool bBlanks)
{
    for (const char c : strText)
        if (c < 0x21 || c > 0x7E)
            if (!(bBlanks && c == ' '))
                return false;
    return true;
}

bool IsHttpsUrl(const std::string& strUrl)
{
    return strUrl.rfind("https://", 0) == 0 && strUrl.size() > 8 && IsPlainAscii(strUrl, false);
}

std::string Refusal(const char* pszKey, const std::string& strValue, const char* pszWhy)
{
    return std::string(pszKey).append("=").append(strValue).append("(").append(pszWhy).append(")");
}
} // namespace

std::string OAuthSettingsProblem(const DeliveryProfile& profile)
{
    const OAuthSettings& oauth = profile.oauth;
    if (profile.auth != Authentication::oauth2)
        return std::string();
    // A bearer token is as good as a password for as long as it lives: never in clear.
    if (profile.smtp == SmtpSecurity::none)
        return Refusal(kAuthenticationKey, "oauth2", "SmtpSecurity=starttls か tls が必要です");
    if (!IsPlainAscii(oauth.strClientId, false))
        return Refusal(kOAuthClientIdKey, oauth.strClientId, "英数字と記号だけです");
    if (oauth.strTenant.empty() ||
        oauth.strTenant.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                          "0123456789.-") != std::string::npos)
        return Refusal(kOAuthTenantKey, oauth.strTenant, "英数字と . - だけです");
    if (!oauth.strTokenCommand.empty())
        return std::string(); // the helper signs in: nothing else is needed
    if (oauth.strClientId.empty())
        return Refusal(kOAuthClientIdKey, "", "登録したアプリのクライアント ID が必要です");
    if (oauth.provider != OAuthProvider::custom)
        return std::string();
    const std::pair<const char*, const std::string*> urls[] = {
        {kOAuthAuthorizeUrlKey, &oauth.strAuthorizeUrl},
        {kOAuthTokenUrlKey, &oauth.strTokenUrl},
        {kOAuthDeviceUrlKey, &oauth.strDeviceUrl}};
    for (const auto& [pszKey, pstrUrl] : urls)
        if ((!pstrUrl->empty() || pszKey == kOAuthTokenUrlKey) && !IsHttpsUrl(*pstrUrl))
            return Refusal(pszKey, *pstrUrl, "https:// で始まる URL が必要です");
    if (oauth.strScope.empty() || !IsPlainAscii(oauth.strScope, true))
        return Refusal(kOAuthScopeKey, oauth.strScope, "空白で区切ったスコープが必要です");
    return std::string();
}
