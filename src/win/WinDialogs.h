// WinDialogs.h - the settings dialogs and the About box on their templates (tarvell.rc): the
// Win32 twins of the Qt dialogs, with the same members, checks and browse buttons.
#pragma once
#include "send/SenderSettings.h"
#include "app/Platform.h"
#include "mail/DeliveryProfile.h"
#include "win/WinControls.h"

#include <optional>
#include <string>

#include <windows.h>

// A modal dialog on a template of tarvell.rc: OK reads the controls back and closes only when
// every check passed.
class CWinDialog : public IModalDialog
{
  public:
    CWinDialog(IPlatform& platform, int nTemplate) : m_platform(platform), m_nTemplate(nTemplate) {}
    int Exec() override;

  protected:
    // The members to the controls (false) or back, with the checks (true).
    virtual bool UpdateData(bool bSaveAndValidate) = 0;
    // A button of the dialog's own; true when it was one.
    virtual bool OnCommand(int nId)
    {
        (void)nId;
        return false;
    }
    // An edit's text changed (typed, or set by UpdateData).
    virtual void OnEditChange(int nId) { (void)nId; }
    HWND Item(int nId) const { return ::GetDlgItem(m_hDlg, nId); }

    IPlatform& m_platform;
    HWND m_hDlg = nullptr;

  private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
    const int m_nTemplate;
    CFittedFonts m_fonts;
};

class CWinSenderDlg : public CWinDialog, public SenderSettings
{
  public:
    explicit CWinSenderDlg(IPlatform& platform);
    std::string Title() const override;

  protected:
    bool UpdateData(bool bSaveAndValidate) override;
    bool OnCommand(int nId) override;
};

// The connection settings (接続設定): TLS, authentication, CA file, charset, send interval, and
// the OAuth 2.0 client with its browser sign-in.
class CWinDeliveryDlg : public CWinDialog
{
  public:
    explicit CWinDeliveryDlg(IPlatform& platform);
    std::string Title() const override;
    DeliveryProfile m_profile;
    const char* m_pszAppDir = ""; // the program folder, where the sign-in is kept
    std::string m_strAccount;     // the log-in name the sign-in is shown for

  protected:
    bool UpdateData(bool bSaveAndValidate) override;
    bool OnCommand(int nId) override;
    void OnEditChange(int nId) override;

  private:
    // The choices as they stand in the controls, the OAuth texts as typed (unchecked).
    void ReadChoices(DeliveryProfile& profile) const;
    void OnChoiceChanged();
    void OnCaFileBrowse();
    // サインイン...: the browser sign-in on a worker thread behind a modal wait with a cancel.
    void OnSignIn();
    // The OAuth fields checked; false with the message shown and the focus on the field.
    bool CheckOAuth(const DeliveryProfile& profile);
    bool m_bFilled = false; // the combo boxes hold their choices
};

class CWinOptionDlg : public CWinDialog
{
  public:
    explicit CWinOptionDlg(IPlatform& platform);
    std::string Title() const override;
    const char* m_pszAppDir = "";
    std::string m_strEditorPath, m_strTextFileDir, m_strBinFileDir;

  protected:
    bool UpdateData(bool bSaveAndValidate) override;
    bool OnCommand(int nId) override;

  private:
    void OnEditorBrowse();
    void BrowseFolder(const char* pszTitle, std::string& strDir);
};

class CWinAboutDlg : public CWinDialog
{
  public:
    explicit CWinAboutDlg(IPlatform& platform);
    std::string Title() const override;

  protected:
    bool UpdateData(bool /*bSaveAndValidate*/) override { return true; }
};

// A long text to read (the send records, the preview), read-only, scrolled to its end or start.
class CWinTextViewDlg : public CWinDialog
{
  public:
    CWinTextViewDlg(IPlatform& platform, std::string strTitle, std::string strText, bool bShowEnd);
    std::string Title() const override { return m_strTitle; }

  protected:
    bool UpdateData(bool bSaveAndValidate) override;

  private:
    std::string m_strTitle, m_strText;
    bool m_bShowEnd;
};

// Text for an edit control: CR LF line ends, control characters other than tab shown as U+FFFD,
// bytes CP932 cannot read likewise.
std::wstring ReadableText(const std::string& strSjis);
