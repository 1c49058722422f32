// ScriptedPlatform.cpp - the platform seam for tests.
#include "support/ScriptedPlatform.h"

#include "support/Environment.h"

#include <gtest/gtest.h>

namespace
{
// The scripted clock's times are read in Japan's time zone, also when a test program is run by
// hand rather than through ctest (which sets the same zone).
const bool g_bJapanTime = [] {
    SetEnvironment("TZ", "JST-9");
    ReadTimeZone();
    return true;
}();
} // namespace

MsgResult CScriptedPlatform::ShowMessage(const std::string& strText, MsgButtons buttons)
{
    m_messages.push_back(strText);
    if (!m_nextAnswers.empty())
    {
        const MsgResult answer = m_nextAnswers.front();
        m_nextAnswers.pop_front();
        return answer;
    }
    if (!m_bAllowMessages)
        ADD_FAILURE() << "unexpected message box: " << strText;
    return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
}

std::size_t CScriptedPlatform::AskQuestion(const std::string& strText,
                                           const std::vector<std::string>& /*answers*/)
{
    m_questions.push_back(strText);
    if (!m_nextChoices.empty())
    {
        const std::size_t nChoice = m_nextChoices.front();
        m_nextChoices.pop_front();
        return nChoice;
    }
    if (!m_bAllowMessages)
        ADD_FAILURE() << "unexpected question: " << strText;
    return 0;
}

FileDialogResult CScriptedPlatform::OpenFileDialog(const FileDialogRequest& request)
{
    m_fileDialogs.push_back(request);
    if (m_nextFiles.empty())
    {
        ADD_FAILURE() << "unexpected file dialog: " << request.strTitle;
        return FileDialogResult();
    }
    FileDialogResult result = m_nextFiles.front();
    m_nextFiles.pop_front();
    return result;
}

int CScriptedPlatform::ShellOpen(const std::string& strFile, const std::string& strParams)
{
    m_shellOpened.emplace_back(strFile, strParams);
    if (m_onShellOpen)
        m_onShellOpen(strFile);
    if (m_nextShellResults.empty())
        return 42;
    const int nResult = m_nextShellResults.front();
    m_nextShellResults.pop_front();
    return nResult;
}

int CScriptedPlatform::RunModal(IModalDialog& dialog)
{
    m_dialogTitles.push_back(dialog.Title());
    if (m_nextDialogs.empty())
    {
        ADD_FAILURE() << "unexpected modal dialog: " << dialog.Title();
        return DLG_CANCEL;
    }
    auto action = std::move(m_nextDialogs.front());
    m_nextDialogs.pop_front();
    return action(dialog);
}

void CScriptedPlatform::ReportFileError(const CFileException& e)
{
    m_fileErrors.push_back(FileErrorText(e));
}

bool CScriptedPlatform::StartTimer(int nId, int /*nPeriodMs*/, std::function<void(int)> onTick)
{
    if (!m_bTimerStarts)
        return false;
    m_timers[nId] = std::move(onTick);
    return true;
}

void CScriptedPlatform::StopTimer(int nId)
{
    m_timers.erase(nId);
    m_stoppedTimers.push_back(nId);
}

void CScriptedPlatform::StatusChanged(const std::string& strStatus)
{
    m_statusLines.push_back(strStatus);
    if (m_onStatus)
        m_onStatus(strStatus);
}

void CScriptedPlatform::Tick(int nId)
{
    const auto it = m_timers.find(nId);
    if (it != m_timers.end())
    {
        auto onTick = it->second; // the tick may stop its own timer
        onTick(nId);
    }
}
