// DeliverySettings.cpp - texts and the file edit of the connection settings dialog.
#include "send/DeliverySettings.h"

#include "send/DeliveryFile.h"

std::string DeliveryPortsText(const DeliveryProfile& profile)
{
    std::string strText = "使用するポート: SMTP " + std::to_string(DefaultSmtpPort(profile));
    if (profile.auth == Authentication::popBeforeSmtp || UsesOAuthPop(profile))
        strText += " / POP3 " + std::to_string(DefaultPop3Port(profile));
    return strText + " (サーバ名の :ポート が優先)";
}

std::string ClearPasswordWarning(const DeliveryProfile& profile)
{
    if (profile.auth == Authentication::popBeforeSmtp && profile.pop == PopSecurity::none)
        return "注意: パスワードは暗号化されずにPOP3サーバへ送られます。";
    if (profile.auth == Authentication::smtpAuth && profile.smtp == SmtpSecurity::none)
        return "注意: パスワードは暗号化されずにSMTPサーバへ送られます。";
    // The send refuses a token in clear: said here, before any send fails on it.
    if (profile.auth == Authentication::oauth2 && profile.smtp == SmtpSecurity::none)
        return "注意: OAuth 2.0 には SMTP の暗号化 (STARTTLS か SSL/TLS) が必要です。"; // troubleshooting
    return std::string();
}

bool PopSecurityApplies(const DeliveryProfile& profile)
{
    // oauth2: stls or tls add a POP3 log-in with the token before SMTP.
    return profile.auth == Authentication::popBeforeSmtp || profile.auth == Authentication::oauth2;
}

bool CaFileApplies(const DeliveryProfile& profile)
{
    return profile.smtp != SmtpSecurity::none ||
           (PopSecurityApplies(profile) && profile.pop != PopSecurity::none);
}

DeliveryProfile ReadDeliveryForEdit(const std::string& strAppDir)
{
    DeliveryProfile profile = ReadDeliveryProfile(strAppDir + kDeliveryFileName);
    profile.strRefused.clear(); // the dialog shows the default in its place; OK replaces it
    return profile;
}

void WriteDeliveryEdit(const std::string& strAppDir, const DeliveryProfile& profile)
{
    WriteDeliveryProfile(strAppDir + kDeliveryFileName, profile);
}
