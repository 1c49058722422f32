// DeliveryProfile.h - how a mail is delivered: TLS for SMTP and POP3, and the way of logging in.
// All defaults give POP before SMTP in clear text on ports 110 and 25. The profile is kept as
// Shift_JIS "Key=Value" lines in Delivery.ini beside the records (see send/DeliveryFile.h).
#pragma once
#include <string>

enum class SmtpSecurity
{
    none,     // plain SMTP
    starttls, // STARTTLS after EHLO (RFC 3207), usually on 587
    tls,      // TLS from the first byte (RFC 8314), usually on 465
};

enum class PopSecurity
{
    none, // plain POP3
    stls, // STLS after the greeting (RFC 2595)
    tls,  // TLS from the first byte, usually on 995
};

enum class Authentication
{
    popBeforeSmtp, // POP3 log-in, then SMTP without AUTH
    smtpAuth,      // SMTP AUTH with the same log-in name and password, no POP3
    none,          // neither: a relay that trusts the network
    // SMTP AUTH XOAUTH2 or OAUTHBEARER with an OAuth 2.0 access token, over TLS only; with
    // PopSecurity=stls or tls, first a POP3 log-in with AUTH XOAUTH2 and the same token.
    oauth2,
};

// Whose authorization server issues the OAuth 2.0 tokens: the presets know their endpoints and
// scopes; custom takes them from the profile.
enum class OAuthProvider
{
    microsoft,
    google,
    custom,
};

// How an OAuth 2.0 access token is had. No client ID or secret comes with the program: the user
// registers an application of their own (public client, no secret).
struct OAuthSettings
{
    OAuthProvider provider = OAuthProvider::microsoft;
    std::string strClientId;
    std::string strTenant = "common"; // Microsoft only: the directory in the endpoints' path
    std::string strAuthorizeUrl;      // custom only
    std::string strTokenUrl;          // custom only
    std::string strDeviceUrl;         // custom only
    std::string strScope;             // custom only (blank-separated)
    // Microsoft only: POP3 is logged in with the token too, which needs its own scope.
    bool bPopScope = false;
    // A helper of the user's that prints an access token on its first line; when given, the
    // program never talks to the authorization server itself.
    std::string strTokenCommand;
};

// The endpoints and scope a sign-in uses, the preset's for Microsoft and Google.
struct OAuthEndpoints
{
    std::string strAuthorizeUrl;
    std::string strTokenUrl;
    std::string strDeviceUrl;
    std::string strScope;
};
OAuthEndpoints EndpointsOf(const OAuthSettings& oauth);

// The charset of the text part and the header encoded-words. UTF-8 carries every character;
// ISO-2022-JP replaces what it cannot carry (see WireCharacters.h).
enum class MailCharset
{
    iso2022jp,
    utf8,
};

struct DeliveryProfile
{
    SmtpSecurity smtp = SmtpSecurity::none;
    PopSecurity pop = PopSecurity::none;
    Authentication auth = Authentication::popBeforeSmtp;
    MailCharset charset = MailCharset::iso2022jp;
    std::string strCaFile; // extra trusted CA certificates (PEM), Shift_JIS path; empty for none
    int nSendInterval = 0; // seconds a group send waits between members (0 to kMaxSendInterval)
    bool bSendIntervalGiven = false; // the file named SendInterval (0 included)
    // "Key=value" of the first value that is not one of the listed ones; empty when every value is
    // known. A profile with a refused value must not be used for any send.
    // Whether the file named PopSecurity itself (only then may TLS for SMTP go with a POP3 log-in
    // in clear).
    bool bPopSecurityGiven = false;
    std::string strRefused;
    OAuthSettings oauth; // used only with Authentication::oauth2

    // EHLO, CR LF commands and the modern SMTP session: any TLS for SMTP, or SMTP AUTH.
    bool IsModernSmtp() const
    {
        return smtp != SmtpSecurity::none || auth == Authentication::smtpAuth ||
               auth == Authentication::oauth2;
    }
};

// Whether an oauth2 profile logs in to POP3 with the token before SMTP: only when PopSecurity asks
// for TLS (stls or tls), so a bearer token never goes to a POP3 server in clear.
bool UsesOAuthPop(const DeliveryProfile& profile);

// The seconds a group send waits between members: SendInterval when the file gives it (0
// included), else 0, except for the Microsoft preset, whose servers throttle quick series of
// messages: kMicrosoftSendInterval there.
int EffectiveSendInterval(const DeliveryProfile& profile);
constexpr int kMicrosoftSendInterval = 2;

// Ports for a server field without ":PORT": SMTP 465 for tls, 587 for starttls or for SMTP AUTH
// in clear text, else 25; POP3 995 for tls, else 110.
int DefaultSmtpPort(const DeliveryProfile& profile);
int DefaultPop3Port(const DeliveryProfile& profile);

// The Delivery.ini keys and their values, in the file's order.
extern const char* const kSmtpSecurityKey;   // "SmtpSecurity"
extern const char* const kPopSecurityKey;    // "PopSecurity"
extern const char* const kAuthenticationKey; // "Authentication"
extern const char* const kCaFileKey;         // "CaFile"
extern const char* const kSendIntervalKey;   // "SendInterval", written only when not 0
constexpr int kMaxSendInterval = 3600;
extern const char* const kCharsetKey; // "Charset"
// The OAuth 2.0 keys, written only with Authentication=oauth2.
extern const char* const kOAuthProviderKey;     // "OAuthProvider"
extern const char* const kOAuthClientIdKey;     // "OAuthClientId"
extern const char* const kOAuthTenantKey;       // "OAuthTenant"
extern const char* const kOAuthAuthorizeUrlKey; // "OAuthAuthorizeUrl"
extern const char* const kOAuthTokenUrlKey;     // "OAuthTokenUrl"
extern const char* const kOAuthDeviceUrlKey;    // "OAuthDeviceUrl"
extern const char* const kOAuthScopeKey;        // "OAuthScope"
extern const char* const kOAuthTokenCommandKey; // "OAuthTokenCommand"

// The value's name in the file ("none", "starttls" ...).
const char* SmtpSecurityName(SmtpSecurity value);
const char* PopSecurityName(PopSecurity value);
const char* AuthenticationName(Authentication value);
const char* CharsetName(MailCharset value); // "iso-2022-jp", "utf-8"
const char* OAuthProviderName(OAuthProvider value);

// Sets the field from a value's name; false (field unchanged) when the name is not a listed one.
bool ParseSmtpSecurity(const std::string& strName, SmtpSecurity& value);
bool ParsePopSecurity(const std::string& strName, PopSecurity& value);
bool ParseAuthentication(const std::string& strName, Authentication& value);
bool ParseCharset(const std::string& strName, MailCharset& value);
bool ParseOAuthProvider(const std::string& strName, OAuthProvider& value);

// What keeps the OAuth 2.0 settings from being used ("OAuthClientId=(...)" as the refusal names
// it); empty when they can be. Only SMTP over TLS may carry a token.
std::string OAuthSettingsProblem(const DeliveryProfile& profile);
