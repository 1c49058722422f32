// BatchRun.h - the program's run without a display and without a toolkit: the document, the send
// form with the platform of a headless run, and the one-second timer ticking in the platform's own
// loop. It starts as the window does (the strings emptied, the send-information file read, the
// timer started), runs what the timer issues (the start mode's dialog, which ends as Cancel, the
// automatic send, the automatic quit), and closes as the close box does: the timer stopped, the
// records written, the exit status (EXIT_* of SendForm.h) worked out. tarvell-batch is this run
// alone; tarvell runs it when it finds no display.
#pragma once
#include "send/GuiThreadPlatform.h"
#include "send/HeadlessPlatform.h"
#include "send/SendForm.h"
#include "send/SendMailbox.h"

#include <functional>
#include <memory>
#include <string>

class CBatchRun : private ISendFormView
{
  public:
    explicit CBatchRun(CHeadlessPlatform& platform);
    ~CBatchRun() override;
    CBatchRun(const CBatchRun&) = delete;
    CBatchRun& operator=(const CBatchRun&) = delete;

    // Builds the document in strAppDir (CP932, ending in "/") with the CP932 command line and
    // runs the form's start. False, after the file error and "空のﾄﾞｷｭﾒﾝﾄの作成に失敗しました。",
    // when the document cannot be built.
    bool Start(const std::string& strAppDir, const std::string& strCmdLine);

    // Runs the ticks until the run closes itself or closeRequested (when given) returns true,
    // then closes; returns the exit status.
    int Run(const std::function<bool()>& closeRequested = nullptr);

    CTarvellDoc& Doc() { return *m_pDoc; }
    CSendForm& Form() { return *m_pForm; }

  private:
    // Without controls the form's strings are all there is: nothing to show or read back, and no
    // Send button.
    void ShowStrings() override {}
    bool ReadControls() override { return true; }
    void EnableSend(bool /*bEnable*/) override {}
    // The timer's commands; their dialogs end as Cancel.
    void IssueCommand(int nId) override;
    // Nobody can close the program after the error: the run closes.
    void OnAutoSendAbandoned() override { m_platform.Loop().Quit(); }

    // A dialog the run cannot show, known by its title only.
    void RunDialog(const std::string& strTitle);
    int Close();

    CHeadlessPlatform& m_platform;
    std::unique_ptr<CTarvellDoc> m_pDoc;
    // The send runs on this thread: the mailbox stays empty, and the form's platform only drops
    // the messages of a send that a close request cancelled, as it does with a window.
    CSendMailbox m_mailbox;
    // The send follows the process's close request (SIGINT, SIGTERM, Ctrl+C).
    CSendCancel m_cancel;
    CGuiThreadPlatform m_sendPlatform;
    std::unique_ptr<CSendForm> m_pForm;
};

// The whole program without a display: close requests caught, the network started, the data
// folder and the command line (UTF-8 arguments) found, then the run. A start that fails ends with
// EXIT_AUTO_SEND_NOT_RUN when "/sendon" was asked for, else EXIT_SEND_FAILED.
int RunBatchProgram(int argc, char* argv[]);

// The exit status of a start that failed before the document was made, from the program's
// arguments (UTF-8): EXIT_AUTO_SEND_NOT_RUN when one holds "/sendon", else EXIT_SEND_FAILED.
int FailedStartStatus(int argc, char* argv[]);
