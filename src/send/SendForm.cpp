// SendForm.cpp - the send form's logic: its strings, the calls into its window and the run's
// exit status.
#include "send/SendForm.h"

#include "app/Sjis.h"
#include "send/SendInfFile.h"

CSendForm::CSendForm(CTarvellDoc& doc, IPlatform& platform, ISendFormView* pView,
                     CSendCancel* pCancel)
    : m_cancel(pCancel != nullptr ? *pCancel : m_ownCancel), m_log(doc),
      m_procedure(*this, doc, platform, m_cancel), m_autoSend(*this, doc, platform), m_doc(doc),
      m_platform(platform), m_pView(pView)
{
}

int CSendForm::ReadSendInfFile(const std::string& strPath)
{
    return CSendInfReader::ReadSendInfFile(
        strPath,
        SendInfTargets{m_strToName, m_strToAddress, m_strTitle, m_strTextFile, m_strBinFile});
}

void CSendForm::ShowForm()
{
    if (m_pView != nullptr)
        m_pView->ShowStrings();
    if (m_strStatus != m_strReportedStatus)
    {
        m_strReportedStatus = m_strStatus;
        m_platform.StatusChanged(m_strStatus);
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
    if (m_nFailedSends > 0)
        return EXIT_SEND_FAILED;
    if (m_nStoppedSends > 0)
        return m_nDeliveredSends > 0 ? EXIT_SEND_FAILED : EXIT_AUTO_SEND_NOT_RUN;
    if (!m_autoSend.m_bAutoSendStarted && AsksForAutoSend(m_doc.m_strCmdLine))
        return EXIT_AUTO_SEND_NOT_RUN;
    if (m_nUnrecordedSends > 0 || !bRecordsSaved)
        return EXIT_NOT_RECORDED;
    return EXIT_ALL_SENT;
}
