// ScriptedPlatform.h - the platform seam for tests: answers come from queues the test fills,
// every call is recorded, and a call the test did not expect fails it.
#pragma once
#include "app/Platform.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

class CScriptedPlatform : public IPlatform
{
  public:
    // What the next message box answers; with an empty queue a message box fails the test unless
    // m_bAllowMessages is set, and is then answered with its first button.
    std::deque<MsgResult> m_nextAnswers;
    bool m_bAllowMessages = false;
    std::vector<std::string> m_messages; // every message box text, CP932

    // Questions with answers of their own: the index each answers (an empty queue: as a message
    // box, then the first answer); every question's text is recorded.
    std::deque<std::size_t> m_nextChoices;
    std::vector<std::string> m_questions;

    // What the next file dialog answers; an empty queue fails the test.
    std::deque<FileDialogResult> m_nextFiles;
    std::vector<FileDialogRequest> m_fileDialogs;

    // Shell opens: (file, params) recorded; each answers the next result (default 42, success).
    std::deque<int> m_nextShellResults;
    std::vector<std::pair<std::string, std::string>> m_shellOpened;
    std::function<void(const std::string&)> m_onShellOpen; // called with each file opened

    // Modal dialogs: each runs the next action, which may drive the dialog and returns its
    // result; an empty queue fails the test.
    std::deque<std::function<int(IModalDialog&)>> m_nextDialogs;
    std::vector<std::string> m_dialogTitles;

    std::vector<std::string> m_fileErrors;  // FileErrorText of every reported file error
    std::vector<std::string> m_statusLines; // every status line change
    std::function<void(const std::string&)> m_onStatus; // called after each status line change
    std::vector<std::string> m_details;                 // every failed attempt's detail

    // Timers: id -> tick function; StartTimer answers m_bTimerStarts.
    bool m_bTimerStarts = true;
    std::map<int, std::function<void(int)>> m_timers;
    std::vector<int> m_stoppedTimers;

    std::time_t m_now = 1088985903; // 2004-07-05 09:05:03 in Asia/Tokyo (TZ=JST-9)

    MsgResult ShowMessage(const std::string& strText, MsgButtons buttons) override;
    std::size_t AskQuestion(const std::string& strText,
                            const std::vector<std::string>& answers) override;
    FileDialogResult OpenFileDialog(const FileDialogRequest& request) override;
    int ShellOpen(const std::string& strFile, const std::string& strParams) override;
    int RunModal(IModalDialog& dialog) override;
    void ReportFileError(const CFileException& e) override;
    bool StartTimer(int nId, int nPeriodMs, std::function<void(int)> onTick) override;
    void StopTimer(int nId) override;
    void StatusChanged(const std::string& strStatus) override;
    void SendFailureDetail(const std::string& strDetail) override
    {
        m_details.push_back(strDetail);
    }
    std::time_t Now() override { return m_now; }
    // Waits no real time: the clock moves on by the pause (whole seconds kept in m_pausedMs).
    void Pause(int nMilliseconds) override
    {
        m_pausedMs += nMilliseconds;
        m_now += (m_pausedMs / 1000) - m_nPausedSecondsCounted;
        m_nPausedSecondsCounted = m_pausedMs / 1000;
    }
    void GroupSendEnded(const std::string& strSummary, const std::string& strProblems,
                        bool bTellUser) override
    {
        m_summaries.push_back(strSummary);
        m_problems.push_back(bTellUser ? strProblems : "(no box)");
    }
    long long m_pausedMs = 0;
    long long m_nPausedSecondsCounted = 0;
    std::vector<std::string> m_summaries; // every group send's summary
    std::vector<std::string> m_problems;  // its problem list, "(no box)" when no box was asked for

    // Runs one tick of timer nId, if it is running.
    void Tick(int nId = 1);
};
