// GuiThreadPlatform.cpp - platform calls carried to the GUI thread.
#include "ui/GuiThreadPlatform.h"

#include "mail/SendCancel.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

void CGuiThreadPlatform::OnGuiThread(const std::function<void()>& call)
{
    if (QThread::currentThread() == m_pGuiObject->thread())
        call();
    else
        QMetaObject::invokeMethod(m_pGuiObject, call, Qt::BlockingQueuedConnection);
}

MsgResult CGuiThreadPlatform::MessageBox(const std::string& strText, MsgButtons buttons)
{
    if (SendCancelRequested())
        return buttons == MsgButtons::YesNo ? MsgResult::No
               : buttons == MsgButtons::Ok  ? MsgResult::Ok
                                            : MsgResult::Cancel;
    MsgResult result = MsgResult::Ok;
    OnGuiThread([&] { result = m_inner.MessageBox(strText, buttons); });
    return result;
}

std::size_t CGuiThreadPlatform::AskQuestion(const std::string& strText,
                                            const std::vector<std::string>& answers)
{
    if (SendCancelRequested())
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
    OnGuiThread([&] { m_inner.StatusChanged(strStatus); });
}

void CGuiThreadPlatform::SendFailureDetail(const std::string& strDetail)
{
    OnGuiThread([&] { m_inner.SendFailureDetail(strDetail); });
}

std::time_t CGuiThreadPlatform::Now()
{
    std::time_t now = 0;
    OnGuiThread([&] { now = m_inner.Now(); });
    return now;
}
