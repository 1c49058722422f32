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
};

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
    // "Key=value" of the first value that is not one of the listed ones; empty when every value is
    // known. A profile with a refused value must not be used for any send.
    // Whether the file named PopSecurity itself (only then may TLS for SMTP go with a POP3 log-in
    // in clear).
    bool bPopSecurityGiven = false;
    std::string strRefused;

    // EHLO, CR LF commands and the modern SMTP session: any TLS for SMTP, or SMTP AUTH.
    bool IsModernSmtp() const
    {
        return smtp != SmtpSecurity::none || auth == Authentication::smtpAuth;
    }
};

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

// The value's name in the file ("none", "starttls" ...).
const char* SmtpSecurityName(SmtpSecurity value);
const char* PopSecurityName(PopSecurity value);
const char* AuthenticationName(Authentication value);
const char* CharsetName(MailCharset value); // "iso-2022-jp", "utf-8"

// Sets the field from a value's name; false (field unchanged) when the name is not a listed one.
bool ParseSmtpSecurity(const std::string& strName, SmtpSecurity& value);
bool ParsePopSecurity(const std::string& strName, PopSecurity& value);
bool ParseAuthentication(const std::string& strName, Authentication& value);
bool ParseCharset(const std::string& strName, MailCharset& value);
