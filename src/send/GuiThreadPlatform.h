// GuiThreadPlatform.h - the platform as a send running on a worker thread sees it: a message box,
// a question, a file dialog or a file error is handed to the window's thread through the send's
// mailbox and the worker waits for its answer, so message boxes stay modal windows of the main
// window and the scripted platforms of the tests are only ever used from one thread. Status
// changes and failure details are posted without waiting; the clock is read where it is asked.
// Calls made on the window's thread go straight through. No toolkit is needed: the window drains
// the mailbox (see send/SendMailbox.h).
#pragma once
#include "app/Platform.h"
#include "mail/SendCancel.h"
#include "send/SendMailbox.h"

#include <atomic>
#include <thread>

class CGuiThreadPlatform : public IPlatform
{
  public:
    // Made on the window's thread, which is the one the calls are carried to. cancel is the
    // send's request to stop.
    CGuiThreadPlatform(IPlatform& inner, CSendMailbox& mailbox, const CSendCancel& cancel)
        : m_inner(inner), m_mailbox(mailbox), m_cancel(cancel),
          m_guiThread(std::this_thread::get_id())
    {
    }

    // Once the send was cancelled, its remaining messages and questions are not shown: a message
    // counts as confirmed and a question as answered with its last answer (stop).
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
    void SendFailureDetail(const std::string& strDetail) override;
    // The summary's box is shown on the window's thread; after a cancel (a closing window) none.
    void GroupSendEnded(const std::string& strSummary, const std::string& strProblems,
                        bool bTellUser) override;
    std::time_t Now() override { return m_inner.Now(); }
    void Pause(int nMilliseconds) override { m_inner.Pause(nMilliseconds); }

    // While a send runs the timers' ticks are dropped, as an event loop busy with the send would
    // drop them: the command sets the state the next tick looks at when it ends.
    void DropTimerTicks(bool bDrop) { m_bDropTicks = bDrop; }

    // True on the window's thread.
    bool OnWindowThread() const { return std::this_thread::get_id() == m_guiThread; }

  private:
    // Runs call on the window's thread and returns when it has.
    void OnGuiThread(const std::function<void()>& call);

    IPlatform& m_inner;
    CSendMailbox& m_mailbox;
    const CSendCancel& m_cancel;
    const std::thread::id m_guiThread;
    std::atomic<bool> m_bDropTicks{false};
};
