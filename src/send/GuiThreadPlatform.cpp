// GuiThreadPlatform.cpp - platform calls carried to the window's thread.
#include "send/GuiThreadPlatform.h"

void CGuiThreadPlatform::OnGuiThread(const std::function<void()>& call)
{
    if (OnWindowThread())
        call();
    else
        m_mailbox.Call(call);
}

MsgResult CGuiThreadPlatform::ShowMessage(const std::string& strText, MsgButtons buttons)
{
    if (m_cancel.Requested())
        return buttons == MsgButtons::YesNo ? MsgResult::No
               : buttons == MsgButtons::Ok  ? MsgResult::Ok
                                            : MsgResult::Cancel;
    MsgResult result = MsgResult::Ok;
    OnGuiThread([&] { result = m_inner.ShowMessage(strText, buttons); });
    return result;
}

std::size_t CGuiThreadPlatform::AskQuestion(const std::string& strText,
                                            const std::vector<std::string>& answers)
{
    if (m_cancel.Requested())
        return answers.empty() ? 0 : answers.size() - 1;
    std::size_t nAnswer = 0;
    OnGuiThread([&] { nAnswer = m_inner.AskQuestion(strText, answers); });
    return nAnswer;
}

FileDialogResult CGuiThreadPlatform::OpenFileDialog(const FileDialogRequest& request)
{
    FileDialogResult result;
    OnGuiThread([&] { result = m_inner.OpenFileDialog(request); });
    return result;
}

int CGuiThreadPlatform::ShellOpen(const std::string& strFile, const std::string& strParams)
{
    int nResult = 0;
    OnGuiThread([&] { nResult = m_inner.ShellOpen(strFile, strParams); });
    return nResult;
}

int CGuiThreadPlatform::RunModal(IModalDialog& dialog)
{
    int nResult = 0;
    OnGuiThread([&] { nResult = m_inner.RunModal(dialog); });
    return nResult;
}

void CGuiThreadPlatform::ReportFileError(const CFileException& e)
{
    OnGuiThread([&] { m_inner.ReportFileError(e); });
}

bool CGuiThreadPlatform::StartTimer(int nId, int nPeriodMs, std::function<void(int)> onTick)
{
    bool bStarted = false;
    auto tick = [this, onTick = std::move(onTick)](int nTimer) {
        if (!m_bDropTicks)
            onTick(nTimer);
    };
    OnGuiThread([&] { bStarted = m_inner.StartTimer(nId, nPeriodMs, std::move(tick)); });
    return bStarted;
}

void CGuiThreadPlatform::StopTimer(int nId)
{
    OnGuiThread([&] { m_inner.StopTimer(nId); });
}

void CGuiThreadPlatform::StatusChanged(const std::string& strStatus)
{
    if (OnWindowThread())
        m_inner.StatusChanged(strStatus);
    else
        m_mailbox.Post([this, strStatus] { m_inner.StatusChanged(strStatus); });
}

void CGuiThreadPlatform::SendFailureDetail(const std::string& strDetail)
{
    if (OnWindowThread())
        m_inner.SendFailureDetail(strDetail);
    else
        m_mailbox.Post([this, strDetail] { m_inner.SendFailureDetail(strDetail); });
}

void CGuiThreadPlatform::GroupSendEnded(const std::string& strSummary,
                                        const std::string& strProblems, bool bTellUser)
{
    const bool bBox = bTellUser && !m_cancel.Requested();
    OnGuiThread([&] { m_inner.GroupSendEnded(strSummary, strProblems, bBox); });
}
