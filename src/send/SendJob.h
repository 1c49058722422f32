// SendJob.h - a send command run on a worker thread while the window's own loop goes on: the one
// job both window shells (Qt and Win32) start from 送信, ツール → 失敗した宛先に再送信 and
// テスト送信. The worker reaches the window only through the mailbox; the window's loop drains it
// until the worker has finished, so a worker that waits for an answer is always answered.
#pragma once
#include "mail/SendCancel.h"
#include "send/FormStrings.h"
#include "send/SendMailbox.h"

#include <functional>
#include <string>

class CSendForm;

enum class SendKind
{
    Send,
    Resend,   // the group send only to the members its last run left without the mail
    TestSend, // the mail once to the sender's own address
};

// Whether a menu or form command (CommandIds.h) leaves the form and the document alone, so that it
// may run while a send does (中止 aside, which only a window has).
bool CommandRunsWhileSending(int nId);

// One send at a time, and what the window asks of it meanwhile.
class CSendJob
{
  public:
    // The worker's way to the window's thread.
    CSendMailbox& Mailbox() { return m_mailbox; }
    // The running send's request to stop, for the form and the platform the send uses.
    CSendCancel& Cancel() { return m_cancel; }
    // The form's strings to the window: shown at once on the window's thread; from the worker a
    // copy is posted without waiting (the worker goes on changing the status line).
    void ShowStrings(bool bOnWindowThread, FormStrings strings,
                     const std::function<void(const FormStrings&)>& show);
    bool IsRunning() const { return m_bRunning; }
    // 中止 and Escape: the running send ends at its next step.
    void Abort();
    // The window is being closed: a running send is cancelled and true is returned (the window
    // closes once Run has returned); false when no send runs.
    bool DeferClose();

    // Runs kind on form. showSending(true/false) brackets the run on the window's thread;
    // runLoop(drain) is the window's loop: it must call drain() at least every 10 ms and return
    // once drain() has returned true. When no thread can be started the send runs on the calling
    // thread instead. An exception the send threw is raised again here, after the worker has
    // ended. Returns true when the window was asked to close during the send.
    bool Run(CSendForm& form, SendKind kind, const std::function<void(bool)>& showSending,
             const std::function<void(const std::function<bool()>&)>& runLoop);

  private:
    CSendMailbox m_mailbox;
    CSendCancel m_cancel;
    bool m_bRunning = false;
    bool m_bCloseWhenEnded = false;
};
