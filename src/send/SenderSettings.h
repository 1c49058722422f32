// SenderSettings.h - what the sender settings dialog edits, alike in both window shells: the
// sender record's fields as strings, and the connection settings once its 接続設定 changed them.
// The dialogs hold it as a base, so the copies to and from the document are written once.
#pragma once
#include "mail/DeliveryProfile.h"

#include <optional>
#include <string>

class CTarvellDoc;
class IPlatform;

struct SenderSettings
{
    std::string m_strName;
    std::string m_strMailAddress;
    std::string m_strSmtpServer;
    std::string m_strPop3Server;
    std::string m_strLoginName;
    std::string m_strPassword;
    const char* m_pszAppDir = "";              // the program folder; set by Load, not copied
    std::optional<DeliveryProfile> m_delivery; // empty while the connection settings are unchanged

    // The fields from the document's sender record.
    void Load(const CTarvellDoc& doc);
    // After OK: the sender record stored in the document (the dialog has checked every length;
    // the copies are bounded all the same) and changed connection settings written to
    // Delivery.ini, a file error reported through platform.
    void Store(CTarvellDoc& doc, IPlatform& platform) const;
    // The password's copy overwritten, before the dialog goes.
    void WipePassword() { m_strPassword.assign(m_strPassword.size(), '\0'); }
};
