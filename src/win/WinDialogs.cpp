// WinDialogs.cpp - the settings dialogs and the About box.
#include "win/WinDialogs.h"

#include "app/FileSystem.h"
#include "send/DialogTitles.h"
#include "win/WinControls.h"
#include "win/resource.h"

namespace
{
// The settings record holds each path in 255 bytes.
constexpr int PATH_LIMIT = 255;

std::string FolderOf(const std::string& strPath)
{
    const std::size_t nSlash = strPath.find_last_of("/\\");
    return nSlash == std::string::npos ? std::string() : strPath.substr(0, nSlash + 1);
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
    if (pThis == nullptr || uMsg != WM_COMMAND || HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    const int nId = LOWORD(wParam);
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
    const std::string strEditorDir = FolderOf(m_strEditorPath);
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
