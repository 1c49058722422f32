// DeliveryProfile.cpp - default ports and the names of the profile's values.
#include "mail/DeliveryProfile.h"

#include <cstddef>

const char* const kSmtpSecurityKey = "SmtpSecurity";
const char* const kPopSecurityKey = "PopSecurity";
const char* const kAuthenticationKey = "Authentication";
const char* const kCaFileKey = "CaFile";
const char* const kSendIntervalKey = "SendInterval";
const char* const kCharsetKey = "Charset";

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
                                                {Authentication::none, "none"}};
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
