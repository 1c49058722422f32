// HeadlessPlatform.h - the platform seam without a display: nothing ever waits for a person.
// A message box writes "Tarvell: " and its text to standard error and is answered with its first
// button; a modal or file dialog writes a line holding its title and ends as Cancel; every change
// of the status line goes to standard output, and the detail of each failed send attempt to
// standard error. All lines are UTF-8. Its timers tick in its own loop (Loop), which the caller
// runs.
#pragma once
#include "app/Platform.h"
#include "send/TickLoop.h"

#include <cstdio>

class CHeadlessPlatform : public IPlatform
{
  public:
    explicit CHeadlessPlatform(std::FILE* pOut = stdout, std::FILE* pErr = stderr,
                               ITickClock& clock = SystemTickClock())
        : m_pOut(pOut), m_pErr(pErr), m_loop(clock)
    {
    }

    MsgResult ShowMessage(const std::string& strText, MsgButtons buttons) override;
    // Writes the question and that its first answer was taken, and takes it.
    std::size_t AskQuestion(const std::string& strText,
                            const std::vector<std::string>& answers) override;
    FileDialogResult OpenFileDialog(const FileDialogRequest& request) override;
    int ShellOpen(const std::string& strFile, const std::string& strParams) override;
    int RunModal(IModalDialog& dialog) override;
    bool StartTimer(int nId, int nPeriodMs, std::function<void(int)> onTick) override
    {
        return m_loop.StartTimer(nId, nPeriodMs, std::move(onTick));
    }
    void StopTimer(int nId) override { m_loop.StopTimer(nId); }
    void StatusChanged(const std::string& strStatus) override;
    // "Tarvell: 詳細: <step>: <reply or error>" on standard error.
    void SendFailureDetail(const std::string& strDetail) override;
    // "Tarvell: 集計: <summary>" on standard error; no box is waited on.
    void GroupSendEnded(const std::string& strSummary, const std::string& strProblems,
                        bool bTellUser) override;

    // The loop the timers tick in.
    CTickLoop& Loop() { return m_loop; }

  private:
    void WriteLine(std::FILE* pStream, const std::string& strSjis);
    // "Tarvell: " and the text on standard error.
    void Say(const std::string& strSjis);

    std::FILE* m_pOut;
    std::FILE* m_pErr;
    CTickLoop m_loop;
};

// True when the program runs without a display: neither DISPLAY nor WAYLAND_DISPLAY is set, or
// Qt is told to use its offscreen platform.
bool IsHeadless(const char* pszDisplay, const char* pszWaylandDisplay, const char* pszQpaPlatform);
