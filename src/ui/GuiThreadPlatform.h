// GuiThreadPlatform.h - the platform as a send running on a worker thread sees it: every call is
// carried out on the GUI thread, the worker waiting for its answer, so message boxes stay modal
// windows of the main window and the scripted platforms of the tests are only ever used from one
// thread. Calls made on the GUI thread go straight through.
#pragma once
#include "app/Platform.h"

class QObject;

class CGuiThreadPlatform : public IPlatform
{
  public:
    // pGuiObject lives on the GUI thread; the calls are queued to it.
    CGuiThreadPlatform(IPlatform& inner, QObject* pGuiObject)
        : m_inner(inner), m_pGuiObject(pGuiObject)
    {
    }

    // Once the send was cancelled, its remaining messages and questions are not shown: a message
    // counts as confirmed and a question as answered with its last answer (stop).
    MsgResult MessageBox(const std::string& strText, MsgButtons buttons) override;
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
    std::time_t Now() override;

    // While a send runs the timers' ticks are dropped, as an event loop busy with the send would
    // drop them: the command sets the state the next tick looks at when it ends.
    void DropTimerTicks(bool bDrop) { m_bDropTicks = bDrop; }

  private:
    // Runs call on the GUI thread and returns when it has.
    void OnGuiThread(const std::function<void()>& call);

    IPlatform& m_inner;
    QObject* m_pGuiObject;
    bool m_bDropTicks = false;
};
