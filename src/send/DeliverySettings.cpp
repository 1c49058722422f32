// DeliverySettings.cpp - texts and the file edit of the connection settings dialog.
#include "send/DeliverySettings.h"

#include "send/DeliveryFile.h"

std::string DeliveryPortsText(const DeliveryProfile& profile)
{
    std::string strText = "使用するポート: SMTP " + std::to_string(DefaultSmtpPort(profile));
    if (profile.auth == Authentication::popBeforeSmtp)
        strText += " / POP3 " + std::to_string(DefaultPop3Port(profile));
    return strText + " (サーバ名の :ポート が優先)";
}

std::string ClearPasswordWarning(const DeliveryProfile& profile)
{
    if (profile.auth == Authentication::popBeforeSmtp && profile.pop == PopSecurity::none)
        return "注意: パスワードは暗号化されずにPOP3サーバへ送られます。";
    if (profile.auth == Authentication::smtpAuth && profile.smtp == SmtpSecurity::none)
        return "注意: パスワードは暗号化されずにSMTPサーバへ送られます。";
    return std::string();
}

bool EditDeliveryFile(const std::string& strAppDir,
                      const std::function<bool(DeliveryProfile&)>& edit)
{
    const std::string strPath = strAppDir + kDeliveryFileName;
    DeliveryProfile profile = ReadDeliveryProfile(strPath);
    profile.strRefused.clear(); // the dialog shows the default in its place; OK replaces it
    if (!edit(profile))
        return false;
    WriteDeliveryProfile(strPath, profile);
    return true;
}
