// WinDialogs.cpp - the settings dialogs and the About box.
#include "win/WinDialogs.h"

#include "app/Command.h"
#include "app/DataExchange.h"
#include "app/WinText.h"
#include "app/FileSystem.h"
#include "send/DeliverySettings.h"
#include "send/DialogTitles.h"
#include "send/OAuthSignIn.h"
#include "win/WinControls.h"
#include "win/resource.h"

#include <commctrl.h>

#include <utility>
#include <vector>

namespace
{
// The settings record holds each path in 255 bytes.
constexpr int PATH_LIMIT = 255;

// The edit of an OAuth field: the ids follow the fields' order.
int OAuthEditId(OAuthField field)
{
    return IDC_OAUTH_CLIENT_ID + static_cast<int>(field) - static_cast<int>(OAuthField::clientId);
}

// The wait for the browser's sign-in (template IDD_SIGN_IN): a timer carries the worker's calls
// over every 10 ms and ends the wait once the worker has finished; ｷｬﾝｾﾙ and the close box ask
// the worker to give up, and the wait ends when it has.
struct SignInWait
{
    const std::function<bool()>* pDrain;
    const std::function<void()>* pCancel;
    bool bDraining = false;
};

INT_PTR CALLBACK SignInWaitProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pWait = reinterpret_cast<SignInWait*>(::GetWindowLongPtrW(hDlg, DWLP_USER));
    switch (uMsg)
    {
    case WM_INITDIALOG:
        ::SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        ::SetTimer(hDlg, 1, 10, nullptr);
        return TRUE;
    case WM_TIMER:
        // A call carried over may run a loop of its own (the shell's open): no second drain.
        if (pWait != nullptr && !pWait->bDraining)
        {
            pWait->bDraining = true;
            const bool bFinished = (*pWait->pDrain)();
            pWait->bDraining = false;
            if (bFinished)
            {
                ::KillTimer(hDlg, 1);
                ::EndDialog(hDlg, IDOK);
            }
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && pWait != nullptr)
        {
            (*pWait->pCancel)();
            ::EnableWindow(::GetDlgItem(hDlg, IDCANCEL), FALSE);
        }
        return TRUE;
    default:
        return FALSE;
    }
}
} // namespace

int CWinDialog::Exec()
{
    const HWND hOwner = ::GetActiveWindow();
    const INT_PTR nResult =
        ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nTemplate), hOwner,
                          &CWinDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hDlg = nullptr;
    m_fonts.Release();
    return nResult == IDOK ? DLG_OK : DLG_CANCEL;
}

INT_PTR CALLBACK CWinDialog::DialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pThis = reinterpret_cast<CWinDialog*>(::GetWindowLongPtrW(hDlg, DWLP_USER));
    if (uMsg == WM_INITDIALOG)
    {
        pThis = reinterpret_cast<CWinDialog*>(lParam);
        ::SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        pThis->m_hDlg = hDlg;
        pThis->m_fonts.Fit(hDlg);
        pThis->UpdateData(false);
        return TRUE; // the focus goes to the first control of the template, OK
    }
    if (pThis == nullptr || uMsg != WM_COMMAND)
        return FALSE;
    const int nId = LOWORD(wParam);
    if (HIWORD(wParam) == CBN_SELCHANGE)
        return pThis->OnCommand(nId) ? TRUE : FALSE;
    if (HIWORD(wParam) == EN_CHANGE)
    {
        pThis->OnEditChange(nId);
        return TRUE;
    }
    if (HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    if (nId == IDOK)
    {
        if (pThis->UpdateData(true))
            ::EndDialog(hDlg, IDOK);
        return TRUE;
    }
    if (nId == IDCANCEL)
    {
        ::EndDialog(hDlg, IDCANCEL);
        return TRUE;
    }
    return pThis->OnCommand(nId) ? TRUE : FALSE;
}

CWinSenderDlg::CWinSenderDlg(IPlatform& platform) : CWinDialog(platform, IDD_SENDER) {}

std::string CWinSenderDlg::Title() const
{
    return SenderDialogTitle();
}

bool CWinSenderDlg::UpdateData(bool bSaveAndValidate)
{
    std::string* const members[6] = {&m_strName,       &m_strMailAddress, &m_strSmtpServer,
                                     &m_strPop3Server, &m_strLoginName,   &m_strPassword};
    for (int i = 0; i < 6; ++i)
    {
        const int nLimit = i == 1 ? 255 : 127;
        const HWND hEdit = Item(IDC_SENDER_NAME + i);
        if (!bSaveAndValidate)
            ShowLimitedText(hEdit, *members[i], nLimit);
        else if (!ReadLimitedText(m_platform, hEdit, *members[i], nLimit))
            return false;
    }
    return true;
}

bool CWinSenderDlg::OnCommand(int nId)
{
    if (nId != IDC_DELIVERY)
        return false;
    RunCommand(m_platform, [this] {
        CWinDeliveryDlg dlg(m_platform);
        dlg.m_profile = m_delivery ? *m_delivery : ReadDeliveryForEdit(m_pszAppDir);
        dlg.m_pszAppDir = m_pszAppDir;
        // The sign-in is shown for the log-in name as typed, the one the send will use.
        if (!WideToSjis(WindowTextWide(Item(IDC_LOGIN_NAME)), dlg.m_strAccount))
            dlg.m_strAccount = m_strLoginName;
        if (m_platform.RunModal(dlg) == DLG_OK)
            m_delivery = dlg.m_profile;
    });
    return true;
}

CWinDeliveryDlg::CWinDeliveryDlg(IPlatform& platform) : CWinDialog(platform, IDD_DELIVERY) {}

std::string CWinDeliveryDlg::Title() const
{
    return "接続設定";
}

void CWinDeliveryDlg::ReadChoices(DeliveryProfile& profile) const
{
    const auto choice = [this](int nId) {
        const LRESULT n = ::SendMessageW(Item(nId), CB_GETCURSEL, 0, 0);
        return n < 0 ? 0 : static_cast<int>(n);
    };
    // The combo boxes list the choices in the order of the enumerations.
    profile.smtp = static_cast<SmtpSecurity>(choice(IDC_SMTP_SECURITY));
    profile.pop = static_cast<PopSecurity>(choice(IDC_POP_SECURITY));
    profile.auth = static_cast<Authentication>(choice(IDC_AUTH));
    profile.charset = static_cast<MailCharset>(choice(IDC_CHARSET));
    profile.oauth.provider = static_cast<OAuthProvider>(choice(IDC_OAUTH_PROVIDER));
    for (const OAuthField field : kOAuthFields)
    {
        std::string& strText = OAuthFieldText(profile.oauth, field);
        if (!WideToSjis(WindowTextWide(Item(OAuthEditId(field))), strText))
            strText = "？"; // what CP932 cannot write: the check refuses it
    }
}

void CWinDeliveryDlg::OnChoiceChanged()
{
    if (!m_bFilled)
        return;
    DeliveryProfile profile = m_profile; // the keys the dialog does not show stay as they were
    ReadChoices(profile);
    SetWindowTextSjis(Item(IDC_PORTS), DeliveryPortsText(profile));
    SetWindowTextSjis(Item(IDC_WARNING), ClearPasswordWarning(profile));
    ::EnableWindow(Item(IDC_POP_SECURITY), PopSecurityApplies(profile));
    ::EnableWindow(Item(IDC_CA_BROWSE), CaFileApplies(profile));
    ::EnableWindow(Item(IDC_CA_FILE), CaFileApplies(profile));
    ::EnableWindow(Item(IDC_OAUTH_PROVIDER), profile.auth == Authentication::oauth2);
    for (const OAuthField field : kOAuthFields)
        ::EnableWindow(Item(OAuthEditId(field)), OAuthFieldApplies(profile, field));
    ::EnableWindow(Item(IDC_OAUTH_SIGN_IN), CanSignIn(profile));
    SetWindowTextSjis(Item(IDC_OAUTH_STATE), SignInStateText(profile, m_pszAppDir, m_strAccount));
}

void CWinDeliveryDlg::OnEditChange(int nId)
{
    if (nId >= IDC_OAUTH_CLIENT_ID && nId <= IDC_OAUTH_SCOPE)
        OnChoiceChanged();
}

bool CWinDeliveryDlg::CheckOAuth(const DeliveryProfile& profile)
{
    const OAuthFieldProblem problem = CheckOAuthFields(profile);
    if (problem.field == OAuthField::none)
        return true;
    m_platform.ShowMessage(problem.strMessage, MsgButtons::Ok);
    ::SetFocus(Item(OAuthEditId(problem.field)));
    ::SendMessageW(Item(OAuthEditId(problem.field)), EM_SETSEL, 0, -1);
    return false;
}

void CWinDeliveryDlg::OnSignIn()
{
    DeliveryProfile profile = m_profile;
    ReadChoices(profile);
    if (!ReadLimitedText(m_platform, Item(IDC_CA_FILE), profile.strCaFile,
                         static_cast<int>(MAX_PATH_TEXT)) ||
        !CheckOAuth(profile))
        return;
    const HWND hDlg = m_hDlg;
    const auto progress = [hDlg](const std::function<bool()>& drain,
                                 const std::function<void()>& cancel) {
        SignInWait wait{&drain, &cancel};
        ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SIGN_IN), hDlg,
                          &SignInWaitProc, reinterpret_cast<LPARAM>(&wait));
    };
    SignInFromDialog(m_platform, profile, m_pszAppDir, progress);
    OnChoiceChanged();
}

bool CWinDeliveryDlg::UpdateData(bool bSaveAndValidate)
{
    if (!bSaveAndValidate)
    {
        if (!m_bFilled)
        {
            m_bFilled = true;
            const std::pair<int, std::vector<const wchar_t*>> lists[] = {
                {IDC_SMTP_SECURITY, {L"なし", L"STARTTLS", L"SSL/TLS"}},
                {IDC_POP_SECURITY, {L"なし", L"STARTTLS (STLS)", L"SSL/TLS"}},
                {IDC_AUTH, {L"POP before SMTP", L"SMTP 認証", L"なし", L"OAuth 2.0"}},
                {IDC_CHARSET, {L"ISO-2022-JP", L"UTF-8"}},
                {IDC_OAUTH_PROVIDER, {L"Microsoft", L"Google", L"その他"}}};
            for (const auto& [nId, items] : lists)
                for (const wchar_t* pszItem : items)
                    ::SendMessageW(Item(nId), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszItem));
            ::SendMessageW(Item(IDC_INTERVAL_SPIN), UDM_SETRANGE32, 0, kMaxSendInterval);
        }
        ::SendMessageW(Item(IDC_SMTP_SECURITY), CB_SETCURSEL, static_cast<WPARAM>(m_profile.smtp),
                       0);
        ::SendMessageW(Item(IDC_POP_SECURITY), CB_SETCURSEL, static_cast<WPARAM>(m_profile.pop), 0);
        ::SendMessageW(Item(IDC_AUTH), CB_SETCURSEL, static_cast<WPARAM>(m_profile.auth), 0);
        ::SendMessageW(Item(IDC_CHARSET), CB_SETCURSEL, static_cast<WPARAM>(m_profile.charset), 0);
        ::SetWindowTextW(Item(IDC_INTERVAL), std::to_wstring(m_profile.nSendInterval).c_str());
        ShowLimitedText(Item(IDC_CA_FILE), m_profile.strCaFile, static_cast<int>(MAX_PATH_TEXT));
        ::SendMessageW(Item(IDC_OAUTH_PROVIDER), CB_SETCURSEL,
                       static_cast<WPARAM>(m_profile.oauth.provider), 0);
        for (const OAuthField field : kOAuthFields)
            ShowLimitedText(Item(OAuthEditId(field)), OAuthFieldText(m_profile.oauth, field),
                            kMaxOAuthText);
        OnChoiceChanged();
        return true;
    }
    if (!ReadLimitedText(m_platform, Item(IDC_CA_FILE), m_profile.strCaFile,
                         static_cast<int>(MAX_PATH_TEXT)))
        return false;
    // The choices are kept even when a check below fails: a browse button reads the controls
    // and shows them again. The caller takes the profile only after OK, when every check passed.
    ReadChoices(m_profile);
    std::string strInterval;
    int nInterval = 0;
    ReadLimitedText(m_platform, Item(IDC_INTERVAL), strInterval, 0);
    const std::string strMessage = IntFieldMessage(strInterval, 0, kMaxSendInterval, nInterval);
    if (!strMessage.empty())
    {
        m_platform.ShowMessage(strMessage, MsgButtons::Ok);
        ::SetFocus(Item(IDC_INTERVAL));
        return false;
    }
    m_profile.nSendInterval = nInterval;
    return CheckOAuth(m_profile);
}

bool CWinDeliveryDlg::OnCommand(int nId)
{
    switch (nId)
    {
    case IDC_SMTP_SECURITY:
    case IDC_POP_SECURITY:
    case IDC_AUTH:
    case IDC_OAUTH_PROVIDER:
        OnChoiceChanged();
        return true;
    case IDC_CA_BROWSE:
        OnCaFileBrowse();
        return true;
    case IDC_OAUTH_SIGN_IN:
        OnSignIn();
        return true;
    default:
        return false;
    }
}

void CWinDeliveryDlg::OnCaFileBrowse()
{
    UpdateData(true);
    FileDialogRequest request;
    request.strTitle.append("信頼するCA証明書(PEM)の選択");
    request.strStartDir = FolderOfPath(m_profile.strCaFile);
    request.strFilter.append("証明書(*.pem;*.crt)|*.pem;*.crt|全て(*.*)|*.*||");
    request.bMustExist = true;
    const FileDialogResult result = m_platform.OpenFileDialog(request);
    if (result.bConfirmed)
        m_profile.strCaFile = result.strPath;
    UpdateData(false);
}

CWinOptionDlg::CWinOptionDlg(IPlatform& platform) : CWinDialog(platform, IDD_OPTION) {}

std::string CWinOptionDlg::Title() const
{
    return OptionsDialogTitle();
}

bool CWinOptionDlg::UpdateData(bool bSaveAndValidate)
{
    if (!bSaveAndValidate)
    {
        ShowLimitedText(Item(IDC_EDITOR_PATH), m_strEditorPath, PATH_LIMIT);
        ShowLimitedText(Item(IDC_TEXT_DIR), m_strTextFileDir, 0);
        ShowLimitedText(Item(IDC_BIN_DIR), m_strBinFileDir, 0);
        return true;
    }
    // The folders have no typing limit of their own, but a longer path would not fit the
    // settings record, so it is refused like the editor path.
    return ReadLimitedText(m_platform, Item(IDC_EDITOR_PATH), m_strEditorPath, PATH_LIMIT) &&
           ReadLimitedText(m_platform, Item(IDC_TEXT_DIR), m_strTextFileDir, PATH_LIMIT) &&
           ReadLimitedText(m_platform, Item(IDC_BIN_DIR), m_strBinFileDir, PATH_LIMIT);
}

bool CWinOptionDlg::OnCommand(int nId)
{
    switch (nId)
    {
    case IDC_EDITOR_BROWSE:
        OnEditorBrowse();
        return true;
    case IDC_TEXT_DIR_BROWSE:
        BrowseFolder("本文ファイルの選択用フォルダ", m_strTextFileDir);
        return true;
    case IDC_BIN_DIR_BROWSE:
        BrowseFolder("添付ファイルの選択用フォルダ", m_strBinFileDir);
        return true;
    default:
        return false;
    }
}

void CWinOptionDlg::OnEditorBrowse()
{
    UpdateData(true); // a failed check has shown its message; the browse goes on regardless
    FileDialogRequest request;
    // append: GCC 12 warns falsely (-Wrestrict) of assigning these literals.
    request.strTitle.append("メール編集で使用するテキストエディタの選択");
    const std::string strEditorDir = FolderOfPath(m_strEditorPath);
    request.strStartDir =
        !strEditorDir.empty() && IsFolder(strEditorDir) ? strEditorDir : std::string("c:\\");
    request.strFilter.append("実行ファイル(*.exe)|*.exe;|全て(*.*)|*.*||");
    request.strDefaultExt.append("*");
    request.bMustExist = true;
    request.bReadOnlyTicked = true;
    const FileDialogResult result = m_platform.OpenFileDialog(request);
    if (result.bConfirmed)
        m_strEditorPath = result.strPath;
    UpdateData(false);
}

void CWinOptionDlg::BrowseFolder(const char* pszTitle, std::string& strDir)
{
    UpdateData(true);
    FileDialogRequest request;
    request.strTitle = pszTitle;
    request.strStartDir = !strDir.empty() && IsFolder(strDir) ? strDir : std::string(m_pszAppDir);
    request.bFolder = true;
    request.bMustExist = true;
    const FileDialogResult result = m_platform.OpenFileDialog(request);
    if (result.bConfirmed)
        strDir = result.strPath;
    UpdateData(false);
}

CWinAboutDlg::CWinAboutDlg(IPlatform& platform) : CWinDialog(platform, IDD_ABOUTBOX) {}

std::string CWinAboutDlg::Title() const
{
    return "Tarvellのﾊﾞｰｼﾞｮﾝ情報";
}

std::wstring ReadableText(const std::string& strSjis)
{
    std::wstring wide;
    if (!SjisToWide(strSjis, wide))
    {
        // Byte by byte: what CP932 cannot read shows as U+FFFD.
        wide.clear();
        for (std::size_t i = 0; i < strSjis.size(); ++i)
        {
            std::wstring one;
            const unsigned char c = static_cast<unsigned char>(strSjis[i]);
            const bool bLead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
            const std::size_t nLength = bLead && i + 1 < strSjis.size() ? 2 : 1;
            if (SjisToWide(std::string_view(strSjis).substr(i, nLength), one))
            {
                wide += one;
                i += nLength - 1;
            }
            else
                wide.push_back(L'\xFFFD'); // the next byte starts afresh
        }
    }
    std::wstring out;
    out.reserve(wide.size() + wide.size() / 16);
    for (std::size_t i = 0; i < wide.size(); ++i)
    {
        const wchar_t c = wide[i];
        if (c == L'\n')
        {
            if (out.empty() || out.back() != L'\r')
                out.push_back(L'\r');
            out.push_back(L'\n');
        }
        else if (c == L'\r')
        {
            if (i + 1 < wide.size() && wide[i + 1] == L'\n')
                out.push_back(L'\r');
            else
                out.append(L"\r\n");
        }
        else if ((c < 0x20 && c != L'\t') || c == 0x7F)
            out.push_back(L'\xFFFD');
        else
            out.push_back(c);
    }
    return out;
}

CWinTextViewDlg::CWinTextViewDlg(IPlatform& platform, std::string strTitle, std::string strText,
                                 bool bShowEnd)
    : CWinDialog(platform, IDD_TEXT_VIEW), m_strTitle(std::move(strTitle)),
      m_strText(std::move(strText)), m_bShowEnd(bShowEnd)
{
}

bool CWinTextViewDlg::UpdateData(bool bSaveAndValidate)
{
    if (bSaveAndValidate)
        return true;
    SetWindowTextSjis(m_hDlg, m_strTitle);
    const HWND hText = Item(IDC_VIEW_TEXT);
    ::SendMessageW(hText, EM_LIMITTEXT, 0, 0); // the edit's largest size
    ::SetWindowTextW(hText, ReadableText(m_strText).c_str());
    if (m_bShowEnd)
    {
        const int nLength = ::GetWindowTextLengthW(hText);
        ::SendMessageW(hText, EM_SETSEL, static_cast<WPARAM>(nLength), nLength);
        ::SendMessageW(hText, EM_SCROLLCARET, 0, 0);
    }
    return true;
}
