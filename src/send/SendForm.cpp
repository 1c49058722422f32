// SendForm.cpp - the send form's logic: its strings, the calls into its window and the run's
// exit status.
#include "send/SendForm.h"

#include "app/Sjis.h"
#include "send/SendInfFile.h"

CSendForm::CSendForm(CTarvellDoc& doc, IPlatform& platform, ISendFormView* pView,
                     CSendCancel* pCancel)
    : m_cancel(pCancel != nullptr ? *pCancel : m_ownCancel),
      m_procedure(*this, doc, platform, m_cancel), m_autoSend(*this, doc, platform), m_doc(doc),
      m_platform(platform), m_pView(pView)
{
}

int CSendForm::ReadSendInfFile(const std::string& strPath)
{
    return CSendInfReader::ReadSendInfFile(
        strPath, SendInfTargets{m_strings[FormField::ToName], m_strings[FormField::ToAddress],
                                m_strings[FormField::Title], m_strings[FormField::TextFile],
                                m_strings[FormField::BinFile]});
}

void CSendForm::SetRecipient(std::string strName, std::string strAddress)
{
    m_strings[FormField::ToName] = std::move(strName);
    m_strings[FormField::ToAddress] = std::move(strAddress);
}

void CSendForm::ShowForm()
{
    if (m_pView != nullptr)
        m_pView->ShowStrings();
    if (Status() != m_strReportedStatus)
    {
        m_strReportedStatus = Status();
        m_platform.StatusChanged(Status());
    }
}

bool CSendForm::ReadForm()
{
    return m_pView == nullptr || m_pView->ReadControls();
}

void CSendForm::EnableSend(bool bEnable)
{
    if (m_pView != nullptr)
        m_pView->EnableSend(bEnable);
}

void CSendForm::SendCommand(int nId)
{
    if (m_pView != nullptr)
        m_pView->IssueCommand(nId);
    else if (nId == ID_SEND)
        OnSend();
}

void CSendForm::OnAutoSendAbandoned()
{
    if (m_pView != nullptr)
        m_pView->OnAutoSendAbandoned();
}

int CSendForm::RunExitStatus(bool bRecordsSaved) const
{
    const SendTally& tally = Tally();
    if (tally.nFailed > 0)
        return EXIT_SEND_FAILED;
    if (tally.nStopped > 0)
        return tally.nDelivered > 0 ? EXIT_SEND_FAILED : EXIT_AUTO_SEND_NOT_RUN;
    if (!m_autoSend.m_bAutoSendStarted && AsksForAutoSend(m_doc.m_strCmdLine))
        return EXIT_AUTO_SEND_NOT_RUN;
    if (tally.nUnrecorded > 0 || !bRecordsSaved)
        return EXIT_NOT_RECORDED;
    return EXIT_ALL_SENT;
}
