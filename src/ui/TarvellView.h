// TarvellView.h - the send form: the program's main view inside the main window. It owns the
// form's logic (CSendForm: the strings, the send procedure, the automatic sending), which shows
// and reads the controls through ISendFormView; this side holds the controls, the pickers, the
// address book runs, the viewers and the window position.
#pragma once
#include "send/SendForm.h"
#include "ui/DialogUnits.h"
#include "send/GuiThreadPlatform.h"
#include "send/SendJob.h"
#include "send/SendMailbox.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class CPreviewDlg;
class CSjisLineEdit;
class CStatusLine;
class QLineEdit;
class QPushButton;

class CTarvellView : public QWidget, private ISendFormView
{
    Q_OBJECT
  public:
    CTarvellView(CTarvellDoc& doc, IPlatform& platform, QWidget* pParent = nullptr);

    // The form's fixed size in pixels.
    QSize FormSize() const;

    // Commands the form does not take go on to the main window through this.
    void SetCommandTarget(std::function<bool(int nId)> onCommand)
    {
        m_onFrameCommand = std::move(onCommand);
    }

    // Runs a command as a click or menu choice would: the form's own, else the main window's.
    // Returns false when nobody took it.
    bool OnCommand(int nId);

    // At start-up and again for a new document (Ctrl+N): the frame goes to its saved place, the
    // strings are emptied, then the automatic sending starts (send-information file, timer).
    void OnInitialUpdate();
    void OnAddressBook();
    void OnGroupSelect();
    void OnSelectTextFile();
    void OnSelectBinFile();
    void OnEditTextFile();
    void OnOpenBinFile();
    void OnExit();
    void OnDestroy(); // on the close path: stops the timer, keeps the window position

    // Strings -> controls (with the status line reported) and controls -> strings.
    void ShowForm() { m_form.ShowForm(); }
    bool ReadForm() { return m_form.ReadForm(); }

    // True while a Send command runs.
    bool IsSending() const { return m_job.IsRunning(); }
    // The 中止 button and Escape: the running Send command ends at its next step.
    void OnAbortSend();
    // The close path while a Send command runs: the command is cancelled and the window closes
    // once it has ended. False when no send runs (the window may close now).
    bool DeferCloseUntilSendEnds();

  private:
    // The send on its worker thread (with the mailbox through which the worker reaches this
    // thread) and the platform it sends through; declared before the form.
    CSendJob m_job;
    CGuiThreadPlatform m_sendPlatform;

  public:
    // The form's logic: its strings, the send procedure and the automatic sending.
    CSendForm m_form;

  protected:
    // A double-click on the status line opens the trace of the last send command.
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

  private:
    // Called on this window's thread, and by a running send on its worker thread: the strings
    // then go to the controls through the mailbox, and the controls are not read again (they
    // were read just before the send started).
    void ShowStrings() override;
    bool ReadControls() override;
    // Strings -> controls, on this window's thread.
    void ApplyStrings(const FormStrings& strings);
    // The Send button, which an automatic send disables.
    void EnableSend(bool bEnable) override;
    // The timer's commands run as clicks and menu choices do.
    void IssueCommand(int nId) override;
    // The window stays open: the person who sees the error closes it.
    void OnAutoSendAbandoned() override;

    void PickFile(const QString& qstrFilter, const char* pszExt, const char* pszStartDir,
                  FormField target);
    void RunAddressDlg(int nMode, const std::string& strBookFile);
    void Message(const QString& qstrText);
    // The Send command: it runs on a worker thread while the event loop goes on, and returns when
    // it has ended.
    void RunSend(SendKind kind = SendKind::Send);
    // ツール → プレビュー: the preview window with the mail the recipient would get.
    void OnPreview();
    // The form while a send runs: its inputs and Send disabled, 中止 shown, a busy cursor.
    void ShowSending(bool bSending);

    CTarvellDoc& m_doc;
    IPlatform& m_platform;
    CDialogUnits m_units;
    CSjisLineEdit* m_edits[std::size(kFormFields)]; // the input edits, in kFormFields' order
    CStatusLine* m_pEditStatus;
    QPushButton* m_pBtnSend;
    QPushButton* m_pBtnAbort;
    bool m_bSendAllowed = true;           // Send as the automatic sending left it
    CPreviewDlg* m_pPreviewDlg = nullptr; // made on first use, owned as a child
    bool m_bReadBeforeSend = true; // what reading the controls gave when the running send began
    QPointer<QWidget> m_pFocusBeforeSend; // gets the focus back when the send ends
    std::function<bool(int)> m_onFrameCommand;
};
