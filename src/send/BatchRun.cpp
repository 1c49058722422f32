// BatchRun.cpp - the program's run without a display and without a toolkit.
#include "send/BatchRun.h"

#include "addr/AddressDlg.h"
#include "addr/GroupBookChoice.h"
#include "app/CloseRequest.h"
#include "app/Command.h"
#include "app/Process.h"
#include "app/TarvellDoc.h"
#include "send/DialogTitles.h"
#include "mail/SystemSocket.h"

#include <cstdio>
#include <cstring>

namespace
{
class CUnshownDialog : public IModalDialog
{
  public:
    explicit CUnshownDialog(std::string strTitle) : m_strTitle(std::move(strTitle)) {}
    std::string Title() const override { return m_strTitle; }
    int Exec() override { return DLG_CANCEL; }

  private:
    std::string m_strTitle;
};

// The reasons of Process.h are UTF-8 already.
void WriteError(const std::string& strUtf8)
{
    std::fprintf(stderr, "Tarvell: %s\n", strUtf8.c_str());
    std::fflush(stderr);
}
} // namespace

int FailedStartStatus(int argc, char* argv[])
{
    // The arguments are still UTF-8 here, which the CP932 test of the document cannot read.
    for (int i = 1; i < argc; ++i)
    {
        if (std::strstr(argv[i], kAutoSendSwitch) != nullptr)
            return EXIT_AUTO_SEND_NOT_RUN;
    }
    return EXIT_SEND_FAILED;
}

CBatchRun::CBatchRun(CHeadlessPlatform& platform)
    : m_platform(platform), m_sendPlatform(platform, m_mailbox, m_cancel)
{
    m_cancel.Follow(&CloseRequested);
}

CBatchRun::~CBatchRun()
{
    m_pForm.reset(); // before the document it refers to
}

bool CBatchRun::Start(const std::string& strAppDir, const std::string& strCmdLine)
{
    try
    {
        m_pDoc = std::make_unique<CTarvellDoc>(m_platform, strAppDir, strCmdLine);
    }
    catch (const CFileException& e)
    {
        m_platform.ReportFileError(e);
        m_platform.ShowMessage("空のﾄﾞｷｭﾒﾝﾄの作成に失敗しました。", MsgButtons::Ok);
        return false;
    }
    ISendFormView* pView = this;
    m_pForm = std::make_unique<CSendForm>(*m_pDoc, m_sendPlatform, pView, &m_cancel);
    CSendForm& form = *m_pForm;
    form.ShowForm();
    form.Clear();
    form.StartAutomaticSending(); // ends by showing the form
    return true;
}

int CBatchRun::Run(const std::function<bool()>& closeRequested)
{
    m_platform.Loop().Run(closeRequested);
    return Close();
}

int CBatchRun::Close()
{
    m_pForm->OnDestroy(); // stops the timer
    // The window position stays as it was read: there is no window to have moved.
    const bool bSaved = RunCommand(m_platform, [this] { m_pDoc->SaveRecords(); });
    return m_pForm->RunExitStatus(bSaved);
}

void CBatchRun::RunDialog(const std::string& strTitle)
{
    CUnshownDialog dialog(strTitle);
    m_platform.RunModal(dialog); // nothing to take over from a dialog that ended as Cancel
}

void CBatchRun::IssueCommand(int nId)
{
    CTarvellDoc& doc = *m_pDoc;
    const std::string strAppDir = doc.m_szAppDir;
    switch (nId)
    {
    case ID_EXIT_BUTTON:
        m_platform.Loop().Quit();
        break;
    case ID_SEND:
        m_pForm->OnSend();
        break;
    case ID_MAIN_BOOK_SELECT:
        RunCommand(m_platform, [&] {
            RunDialog(CAddressDlg::TitleOf(CAddressDlg::MODE_MAIN_SELECT, std::string()));
            doc.EndStartMode(START_MAIN_BOOK_SELECT);
        });
        break;
    case ID_GROUP_SELECT:
        RunCommand(m_platform, [&] {
            if (const auto book = ChooseGroupBook(m_platform, strAppDir, GroupBookChoice::Existing))
                RunDialog(CAddressDlg::TitleOf(CAddressDlg::MODE_GROUP_SELECT, *book));
            doc.EndStartMode(START_GROUP_BOOK_SELECT);
        });
        break;
    case ID_EDIT_MAIN_BOOK:
        RunCommand(m_platform, [&] {
            RunDialog(CAddressDlg::TitleOf(CAddressDlg::MODE_MAIN_EDIT, std::string()));
            doc.EndStartMode(START_MAIN_BOOK_EDIT);
        });
        break;
    case ID_EDIT_GROUP_BOOK:
        RunCommand(m_platform, [&] {
            if (const auto book = ChooseGroupBook(m_platform, strAppDir, GroupBookChoice::NewOrOld))
                RunDialog(CAddressDlg::TitleOf(CAddressDlg::MODE_GROUP_EDIT, *book));
            doc.EndStartMode(START_GROUP_BOOK_EDIT);
        });
        break;
    case ID_OPTIONS:
        RunDialog(OptionsDialogTitle());
        doc.EndStartMode(START_OPTIONS);
        break;
    case ID_SENDER_SETTINGS:
        RunDialog(SenderDialogTitle());
        doc.EndStartMode(START_SENDER);
        break;
    default:
        break; // the timer issues no other command
    }
}

int RunBatchProgram(int argc, char* argv[])
{
    ProtectSecretsInMemory();
    // From the very start: a request that comes before the loop runs closes the run as soon as
    // it does. A send that runs ends at its next step (its token follows the request).
    CatchCloseRequests(nullptr);
    CHeadlessPlatform platform;
    if (!StartSystemSockets())
    {
        platform.ShowMessage("Windows ｿｹｯﾄの初期化に失敗しました。", MsgButtons::Ok);
        return FailedStartStatus(argc, argv);
    }
    std::string strError;
    const std::string strAppDir = DataFolder(strError);
    if (strAppDir.empty())
    {
        WriteError(strError);
        return FailedStartStatus(argc, argv);
    }
    const std::string strCmdLine = RawCommandLine(argc, argv, strError);
    if (!strError.empty())
        WriteError(std::string(strError).append("; the command line is ignored"));
    CBatchRun run(platform);
    if (!run.Start(strAppDir, strCmdLine))
        return FailedStartStatus(argc, argv);
    return run.Run(&CloseRequested);
}
