// SendFormWindow.h - the send form on Windows: a child dialog on template 101 inside the main
// window, over the same window-free logic as the Qt form (CSendForm through ISendFormView). A
// Send command runs on a worker thread; this thread keeps its message loop going, runs what the
// worker hands over (status changes, questions) and waits for the worker to end.
#pragma once
#include "send/GuiThreadPlatform.h"
#include "send/SendForm.h"
#include "send/SendJob.h"
#include "send/SendMailbox.h"
#include "win/WinControls.h"
#include "win/resource.h"

#include <functional>
#include <string>

#include <windows.h>

class CWinPlatform;

class CWinSendForm : private ISendFormView
{
  public:
    CWinSendForm(CTarvellDoc& doc, CWinPlatform& platform);
    CWinSendForm(const CWinSendForm&) = delete;
    CWinSendForm& operator=(const CWinSendForm&) = delete;

    // Creates the form inside hFrame; false when the template cannot be made.
    bool Create(HWND hFrame);
    HWND Handle() const { return m_hWnd; }

    // Commands the form does not take go on to the main window through this.
    void SetCommandTarget(std::function<bool(int nId)> onCommand)
    {
        m_onFrameCommand = std::move(onCommand);
    }
    // Runs a command as a click or menu choice would: the form's own, else the main window's.
    bool OnCommand(int nId);

    void OnInitialUpdate();
    void OnDestroy(); // on the close path: stops the timer, keeps the window position
    bool IsSending() const { return m_job.IsRunning(); }
    void OnAbortSend();
    // The close path while a send runs: it is cancelled and the window closes when it has ended.
    bool DeferCloseUntilSendEnds();

    // The message loop of the program, also run while a send goes on: false once WM_QUIT came.
    bool PumpMessage(HACCEL hAccel, HWND hFrame);

    CSendForm& Form() { return m_form; }

  private:
    // ISendFormView
    void ShowStrings() override;
    bool ReadControls() override;
    void EnableSend(bool bEnable) override;
    void IssueCommand(int nId) override { OnCommand(nId); }
    void OnAutoSendAbandoned() override {} // the person who sees the error closes the program

    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK StatusProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR nId, DWORD_PTR dwData);
    void OnPreview();
    void ApplyStrings(const FormStrings& strings);
    void RunSend(SendKind kind = SendKind::Send);
    void ShowSending(bool bSending);
    void PlaceStatus(int nWidthDlu);
    void OnSelectFile(const char* pszFilter, const char* pszExt, const char* pszStartDir,
                      FormField target);
    void RunAddressDlg(int nMode, const std::string& strBookFile);
    void OnEditTextFile();
    void OnOpenBinFile();
    void OnExit();
    void Message(const std::string& strText);

    // The send on its worker thread (with its mailbox) and the platform it sends through;
    // declared before the form that uses them.
    CSendJob m_job;
    CGuiThreadPlatform m_sendPlatform;
    CSendForm m_form;
    CTarvellDoc& m_doc;
    CWinPlatform& m_platform;
    HWND m_hWnd = nullptr;
    CFittedFonts m_fonts;
    HWND m_hTip = nullptr; // the status line's tooltip: the whole text and the failure detail
    std::wstring m_tipText;
    // The input edits, in kFormFields' order.
    static constexpr int kFieldIds[] = {IDC_TO_NAME, IDC_TO_ADDRESS, IDC_TITLE, IDC_TEXT_FILE,
                                        IDC_BIN_FILE};
    std::function<bool(int)> m_onFrameCommand;
    bool m_bSendAllowed = true;
    bool m_bReadBeforeSend = true;
    bool m_bDraining = false;
    HWND m_hFocusBeforeSend = nullptr;
};
