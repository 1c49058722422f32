// SenderSettings.cpp - the sender settings dialog's fields to and from the document.
#include "send/SenderSettings.h"

#include "app/Command.h"
#include "app/Sjis.h"
#include "app/TarvellDoc.h"
#include "send/DeliverySettings.h"

void SenderSettings::Load(const CTarvellDoc& doc)
{
    const SenderInf& sender = doc.m_sender;
    m_strName = FieldText(sender.szName);
    m_strMailAddress = FieldText(sender.szMailAddress);
    m_strSmtpServer = FieldText(sender.szSmtpServer);
    m_strPop3Server = FieldText(sender.szPop3Server);
    m_strLoginName = FieldText(sender.szLoginName);
    m_strPassword = FieldText(sender.szPassword);
    m_pszAppDir = doc.m_szAppDir;
}

void SenderSettings::Store(CTarvellDoc& doc, IPlatform& platform) const
{
    SenderInf target = doc.m_sender;
    SetField(target.szName, m_strName);
    SetField(target.szMailAddress, m_strMailAddress);
    SetField(target.szSmtpServer, m_strSmtpServer);
    SetField(target.szPop3Server, m_strPop3Server);
    SetField(target.szLoginName, m_strLoginName);
    SetField(target.szPassword, m_strPassword);
    doc.StoreSender(target);
    if (m_delivery)
        RunCommand(platform, [&] { WriteDeliveryEdit(doc.m_szAppDir, *m_delivery); });
}
