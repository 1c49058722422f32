// MainWindow.cpp - the main window on Windows.
#include "win/MainWindow.h"

#include "app/AppFiles.h"
#include "app/Command.h"
#include "app/DataExchange.h"
#include "app/FileSystem.h"
#include "app/LocalTime.h"
#include "app/FileError.h"
#include "app/Sjis.h"
#include "send/DeliverySettings.h"
#include "app/Process.h"
#include "addr/GroupBookChoice.h"
#include "win/WinAddressDlg.h"
#include "win/WinDialogs.h"
#include "win/WinPlatform.h"
#include "win/resource.h"

#include <utility>

namespace
{
constexpr wchar_t FRAME_CLASS[] = L"TarvellMainFrame";
// A caption with system menu and minimise box: no sizing border, no maximise box.
constexpr DWORD FRAME_STYLE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// The most of a record file shown; a longer one is opened from the File menu instead.
constexpr std::size_t MAX_SHOWN_BYTES = 8u << 20;
} // namespace

CWinMainFrame::CWinMainFrame(CTarvellDoc& doc, CWinPlatform& platform)
    : m_doc(doc), m_platform(platform), m_view(doc, platform)
{
    m_view.SetCommandTarget([this](int nId) { return OnCommand(nId); });
}

bool CWinMainFrame::Create()
{
    const HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &CWinMainFrame::WindowProc;
    wc.hInstance = hInstance;
    wc.hIcon = ::LoadIconW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    wc.hIconSm = static_cast<HICON>(
        ::LoadImageW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0));
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = FRAME_CLASS;
    if (::RegisterClassExW(&wc) == 0)
        return false;
    m_hWnd = ::CreateWindowExW(
        0, FRAME_CLASS, L"Tarvell", FRAME_STYLE, CW_USEDEFAULT, CW_USEDEFAULT, 400, 300, nullptr,
        ::LoadMenuW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME)), hInstance, this);
    if (m_hWnd == nullptr)
        return false;
    m_hAccel = ::LoadAcceleratorsW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    m_platform.SetMainWindow(m_hWnd);
    if (!m_view.Create(m_hWnd))
        return false;
    // The frame fits the form exactly.
    RECT rcForm{};
    ::GetWindowRect(m_view.Handle(), &rcForm);
    RECT rc{0, 0, rcForm.right - rcForm.left, rcForm.bottom - rcForm.top};
    ::AdjustWindowRectEx(&rc, FRAME_STYLE, TRUE, 0);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps takes more room than AdjustWindowRectEx knows of.
    RECT rcClient{};
    ::GetClientRect(m_hWnd, &rcClient);
    const LONG nMissing = (rcForm.bottom - rcForm.top) - (rcClient.bottom - rcClient.top);
    if (nMissing > 0)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top + nMissing,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(m_view.Handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    m_view.OnInitialUpdate();
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    ::UpdateWindow(m_hWnd);
    return true;
}

void CWinMainFrame::Run()
{
    while (m_view.PumpMessage(m_hAccel, m_hWnd))
    {
    }
}

LRESULT CALLBACK CWinMainFrame::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_NCCREATE)
    {
        const auto* pCreate = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
    }
    auto* pThis = reinterpret_cast<CWinMainFrame*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pThis == nullptr)
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    switch (uMsg)
    {
    case WM_COMMAND:
        // Menu choices and accelerators go to the form first, as the frame's routing says.
        if (lParam == 0)
        {
            pThis->m_view.OnCommand(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_CLOSE:
        pThis->OnClose();
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        // The focus goes into the form (the default would put it on the frame itself).
        pThis->OnActivate(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_ENDSESSION:
        // Logging off or shutting down ends the process after this: the records are written now,
        // unless a send still holds the document (it is stopped instead).
        if (wParam != FALSE)
            pThis->OnEndSession();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

bool CWinMainFrame::OnCommand(int nId)
{
    switch (nId)
    {
    case ID_APP_EXIT:
        ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return true;
    case ID_OPTIONS:
        OnOptions();
        return true;
    case ID_SUPPORT_PAGE:
        OnSupportPage();
        return true;
    case ID_SENDER_SETTINGS:
        OnSenderSettings();
        return true;
    case ID_OPEN_APP_DIR:
        OnOpenAppDir();
        return true;
    case ID_VIEW_LOG:
        OnViewFile("ログファイル(*.txt)|*.txt||", kLogFolder,
                   FormatLocalTime(m_platform.Now(), kSendLogStemPattern));
        return true;
    case ID_VIEW_KEEP:
        OnViewFile("保存ファイル(*.txt)|*.txt||", kKeepFolder, std::string());
        return true;
    case ID_VIEW_TRACE:
        OnViewTrace();
        return true;
    case ID_APP_ABOUT: {
        CWinAboutDlg dlg(m_platform);
        m_platform.RunModal(dlg);
        return true;
    }
    case ID_FILE_NEW:
        m_view.OnInitialUpdate();
        return true;
    case ID_EDIT_UNDO:
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
    case ID_EDIT_PASTE:
        OnEditCommand(nId);
        return true;
    case ID_EDIT_MAIN_BOOK:
        RunCommand(m_platform, [this] { OnEditMainBook(); });
        return true;
    case ID_EDIT_GROUP_BOOK:
        RunCommand(m_platform, [this] { OnEditGroupBook(); });
        return true;
    default:
        return false;
    }
}

void CWinMainFrame::OnEditMainBook()
{
    {
        CWinAddressDlg dlg(m_platform);
        dlg.m_logic.m_nMode = CAddressDlg::MODE_MAIN_EDIT;
        SetField(dlg.m_logic.m_szBookDir, m_doc.m_szAppDir);
        m_platform.RunModal(dlg);
    }
    m_doc.EndStartMode(START_MAIN_BOOK_EDIT);
}

void CWinMainFrame::OnEditGroupBook()
{
    const std::optional<std::string> book =
        ChooseGroupBook(m_platform, m_doc.m_szAppDir, GroupBookChoice::NewOrOld);
    if (book)
    {
        CWinAddressDlg dlg(m_platform);
        dlg.m_logic.m_nMode = CAddressDlg::MODE_GROUP_EDIT;
        SetField(dlg.m_logic.m_szBookDir, m_doc.m_szAppDir);
        SetField(dlg.m_logic.m_szBookFile, *book);
        m_platform.RunModal(dlg);
    }
    m_doc.EndStartMode(START_GROUP_BOOK_EDIT);
}

void CWinMainFrame::OnEditCommand(int nId)
{
    // The stock editing keys reach the edit that has the focus.
    const HWND hFocus = ::GetFocus();
    if (hFocus == nullptr)
        return;
    const UINT uMsg = nId == ID_EDIT_UNDO   ? EM_UNDO
                      : nId == ID_EDIT_CUT  ? WM_CUT
                      : nId == ID_EDIT_COPY ? WM_COPY
                                            : WM_PASTE;
    ::SendMessageW(hFocus, uMsg, 0, 0);
}

void CWinMainFrame::OnActivate(bool bActive)
{
    const HWND hForm = m_view.Handle();
    if (hForm == nullptr)
        return;
    const HWND hFocus = ::GetFocus();
    if (!bActive)
    {
        // The control the keyboard user was in gets the focus back when the window does.
        if (hFocus != nullptr && ::IsChild(hForm, hFocus))
            m_hLastFocus = hFocus;
        return;
    }
    if (hFocus != nullptr && ::IsChild(hForm, hFocus))
        return;
    const bool bBack = m_hLastFocus != nullptr && ::IsWindow(m_hLastFocus) &&
                       ::IsWindowEnabled(m_hLastFocus) && ::IsWindowVisible(m_hLastFocus);
    ::SetFocus(bBack ? m_hLastFocus : ::GetNextDlgTabItem(hForm, nullptr, FALSE));
}

void CWinMainFrame::OnEndSession()
{
    if (m_view.DeferCloseUntilSendEnds() || m_bClosed)
        return;
    m_bClosed = true;
    m_view.OnDestroy();
    RunCommand(m_platform, [this] { m_doc.SaveRecords(); });
}

void CWinMainFrame::OnClose()
{
    // A running send is cancelled first; the window closes when it has ended.
    if (m_view.DeferCloseUntilSendEnds())
        return;
    if (!m_bClosed)
    {
        m_bClosed = true;
        m_view.OnDestroy();
        RunCommand(m_platform, [this] { m_doc.SaveRecords(); });
    }
    ::DestroyWindow(m_hWnd);
}

void CWinMainFrame::OnSupportPage()
{
    // The support item opens the user manual beside the program in the default browser.
    std::string strError;
    const std::string strManual = ProgramFolder(strError).append("manual/index.html");
    if (GetFileSizeOrZero(strManual) == 0)
    {
        std::string strText = "マニュアルが見つかりません。探した場所:"; // troubleshooting
        m_platform.ShowMessage(strText.append("\n").append(strManual), MsgButtons::Ok);
        return;
    }
    if (m_platform.ShellOpen(strManual, std::string()) <= 32)
    {
        std::string strText = "マニュアルを開けませんでした"; // troubleshooting
        strText.append("（ブラウザが見つかりません）: ");     // troubleshooting
        m_platform.ShowMessage(strText.append(strManual), MsgButtons::Ok);
    }
}

void CWinMainFrame::OnOpenAppDir()
{
    if (m_platform.ShellOpen(m_doc.m_szAppDir, std::string()) <= 32)
    {
        std::string strText = "フォルダを開けませんでした";         // troubleshooting
        strText.append("（ファイルマネージャが見つかりません）: "); // troubleshooting
        m_platform.ShowMessage(strText.append(m_doc.m_szAppDir), MsgButtons::Ok);
    }
}

void CWinMainFrame::OnViewFile(const char* pszFilter, const char* pszFolder,
                               const std::string& strPreset)
{
    FileDialogRequest request;
    request.strStartDir = FieldText(m_doc.m_szAppDir) + pszFolder;
    request.strPresetName = strPreset;
    request.strDefaultExt = "txt";
    request.strFilter = pszFilter;
    request.bMustExist = true;
    const FileDialogResult result = m_platform.OpenFileDialog(request);
    if (!result.bConfirmed)
        return;
    // The editor, when it exists, gets the path unquoted.
    const std::string strEditor = FieldText(m_doc.m_cfg.szEditorPath);
    const bool bEditor = !strEditor.empty() && PathExists(strEditor);
    const int nResult = bEditor ? m_platform.ShellOpen(strEditor, result.strPath)
                                : m_platform.ShellOpen(result.strPath, std::string());
    if (nResult <= 32)
    {
        std::string strText = "オープンできません。"; // troubleshooting
        m_platform.ShowMessage(strText.append("\n").append(result.strPath), MsgButtons::Ok);
    }
}

void CWinMainFrame::OnViewTrace()
{
    // The conversation of the last send command, then this month's send log.
    const std::string strAppDir = FieldText(m_doc.m_szAppDir);
    const std::pair<const char*, std::string> files[] = {
        {"最後の送信の記録（サーバとのやり取り）", strAppDir + kTracePath},
        {"今月の送信ログ",
         strAppDir + kLogFolder + FormatLocalTime(m_platform.Now(), kSendLogPattern)}};
    std::string strText;
    for (const auto& [pszTitle, strPath] : files)
    {
        strText.append(pszTitle).append("\n").append(strPath).append("\n\n");
        if (!PathExists(strPath))
            strText.append("（まだありません。送信するとここに記録されます）");
        else
        {
            try
            {
                strText.append(ReadWholeFile(strPath, MAX_SHOWN_BYTES));
            }
            catch (const CFileException& e)
            {
                strText.append(FileErrorText(e));
            }
        }
        strText.append("\n\n");
    }
    CWinTextViewDlg dlg(m_platform, "送信記録", strText, true);
    m_platform.RunModal(dlg);
}

void CWinMainFrame::OnSenderSettings()
{
    {
        CWinSenderDlg dlg(m_platform);
        dlg.Load(m_doc);
        if (m_platform.RunModal(dlg) == DLG_OK)
            dlg.Store(m_doc, m_platform);
        dlg.WipePassword(); // the password's copy in the dialog goes with it
    }
    m_doc.EndStartMode(START_SENDER);
}

void CWinMainFrame::OnOptions()
{
    {
        CWinOptionDlg dlg(m_platform);
        dlg.m_strEditorPath = FieldText(m_doc.m_cfg.szEditorPath);
        dlg.m_strTextFileDir = FieldText(m_doc.m_cfg.szTextFileDir);
        dlg.m_strBinFileDir = FieldText(m_doc.m_cfg.szBinFileDir);
        dlg.m_pszAppDir = m_doc.m_szAppDir;
        if (m_platform.RunModal(dlg) == DLG_OK)
            m_doc.StoreOptions(dlg.m_strEditorPath, dlg.m_strTextFileDir, dlg.m_strBinFileDir);
    }
    m_doc.EndStartMode(START_OPTIONS);
}
