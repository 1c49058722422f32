// SendFormWindow.cpp - the send form on Windows.
#include "win/SendFormWindow.h"

#include "addr/GroupBookChoice.h"
#include "app/Command.h"
#include "app/DataExchange.h"
#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "app/WinText.h"
#include "win/WinAddressDlg.h"
#include "win/WinControls.h"
#include "win/WinDialogs.h"
#include "win/WinPlatform.h"
#include "win/resource.h"

#include <commctrl.h>
#include <utility>

namespace
{
// The status line's width in dialog units, whole and while 中止 stands beside it.
constexpr int STATUS_WIDTH = 304;
constexpr int STATUS_WIDTH_SENDING = 248;

// The editor (when it exists) opens strArgument, else strArgument opens with its program.
void OpenInEditor(IPlatform& platform, const CfgData& cfg, const std::string& strArgument)
{
    const std::string strEditor = FieldText(cfg.szEditorPath);
    const bool bEditor = !strEditor.empty() && PathExists(strEditor);
    const int nResult = bEditor ? platform.ShellOpen(strEditor, strArgument)
                                : platform.ShellOpen(strArgument, std::string());
    if (nResult > 32)
        return;
    std::string strText = "オープンできません。\n"; // troubleshooting
    if (bEditor)
        strText.append(strEditor).append(" ").append(strArgument);
    else
        strText.append(strArgument)
            .append(
                "\nこのファイルを開くプログラムがありません。「設定」→「オプション」の「テ" // troubleshooting
                "キストエディタ」でエディタを選んでください。"); // troubleshooting
    platform.ShowMessage(strText, MsgButtons::Ok);
}
} // namespace

CWinSendForm::CWinSendForm(CTarvellDoc& doc, CWinPlatform& platform)
    : m_sendPlatform(platform, m_job.Mailbox(), m_job.Cancel()),
      m_form(doc, m_sendPlatform, this, &m_job.Cancel()), m_doc(doc), m_platform(platform)
{
}

bool CWinSendForm::Create(HWND hFrame)
{
    m_hWnd = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FORM), hFrame,
                                  &CWinSendForm::DialogProc, reinterpret_cast<LPARAM>(this));
    if (m_hWnd == nullptr)
        return false;
    m_fonts.Fit(m_hWnd);
    for (std::size_t i = 0; i < std::size(kFieldIds); ++i)
        ::SendMessageW(::GetDlgItem(m_hWnd, kFieldIds[i]), EM_LIMITTEXT,
                       static_cast<WPARAM>(FormFieldLimit(kFormFields[i])), 0);
    m_hTip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd,
                               nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (m_hTip != nullptr)
    {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = m_hWnd;
        tool.uId = reinterpret_cast<UINT_PTR>(::GetDlgItem(m_hWnd, IDC_STATUS));
        tool.lpszText = const_cast<wchar_t*>(L"");
        ::SendMessageW(m_hTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        ::SendMessageW(m_hTip, TTM_SETMAXTIPWIDTH, 0, 600);
    }
    // A double-click on the status line opens the send records.
    ::SetWindowSubclass(::GetDlgItem(m_hWnd, IDC_STATUS), &CWinSendForm::StatusProc, 0,
                        reinterpret_cast<DWORD_PTR>(this));
    ::ShowWindow(m_hWnd, SW_SHOW);
    return true;
}

LRESULT CALLBACK CWinSendForm::StatusProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR /*nId*/, DWORD_PTR dwData)
{
    if (uMsg == WM_LBUTTONDBLCLK)
    {
        ::PostMessageW(::GetParent(::GetParent(hWnd)), WM_COMMAND, MAKEWPARAM(ID_VIEW_TRACE, 0), 0);
        return 0;
    }
    if (uMsg == WM_NCDESTROY)
        ::RemoveWindowSubclass(hWnd, &CWinSendForm::StatusProc, 0);
    (void)dwData;
    return ::DefSubclassProc(hWnd, uMsg, wParam, lParam);
}

INT_PTR CALLBACK CWinSendForm::DialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pThis = reinterpret_cast<CWinSendForm*>(::GetWindowLongPtrW(hDlg, DWLP_USER));
    switch (uMsg)
    {
    case WM_INITDIALOG:
        ::SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        return FALSE;
    case WM_COMMAND:
        if (pThis == nullptr || HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        if (LOWORD(wParam) == IDCANCEL) // Escape
            pThis->OnAbortSend();
        else if (LOWORD(wParam) != IDOK) // Enter has no default button to press
            pThis->OnCommand(LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

bool CWinSendForm::OnCommand(int nId)
{
    if (m_job.IsRunning() && nId != IDC_ABORT && !CommandRunsWhileSending(nId))
        return true; // the form and the document belong to the send until it ends
    switch (nId)
    {
    case ID_EXIT_BUTTON:
        OnExit();
        return true;
    case IDC_ABORT:
        OnAbortSend();
        return true;
    case ID_SEND:
        RunSend(); // reports its own file errors
        return true;
    case ID_RESEND:
        RunSend(SendKind::Resend);
        return true;
    case ID_TEST_SEND:
        RunSend(SendKind::TestSend);
        return true;
    case ID_PREVIEW:
        OnPreview();
        return true;
    case ID_MAIN_BOOK_SELECT:
        RunCommand(m_platform, [this] {
            m_form.ReadForm();
            RunAddressDlg(CAddressDlg::MODE_MAIN_SELECT, std::string());
            m_doc.EndStartMode(START_MAIN_BOOK_SELECT);
        });
        return true;
    case ID_GROUP_SELECT:
        RunCommand(m_platform, [this] {
            m_form.ReadForm();
            const std::optional<std::string> book =
                ChooseGroupBook(m_platform, m_doc.m_szAppDir, GroupBookChoice::Existing);
            if (book)
                RunAddressDlg(CAddressDlg::MODE_GROUP_SELECT, *book);
            m_doc.EndStartMode(START_GROUP_BOOK_SELECT);
        });
        return true;
    case ID_SELECT_TEXT_FILE:
        RunCommand(m_platform, [this] {
            OnSelectFile("テキスト(*.txt)|*.txt||", "txt", m_doc.m_cfg.szTextFileDir,
                         FormField::TextFile);
        });
        return true;
    case ID_SELECT_BIN_FILE:
        RunCommand(m_platform, [this] {
            OnSelectFile("全て(*.*)|*.*||", "*", m_doc.m_cfg.szBinFileDir, FormField::BinFile);
        });
        return true;
    case ID_EDIT_TEXT_FILE:
        RunCommand(m_platform, [this] { OnEditTextFile(); });
        return true;
    case ID_OPEN_BIN_FILE:
        RunCommand(m_platform, [this] { OnOpenBinFile(); });
        return true;
    default:
        return m_onFrameCommand && m_onFrameCommand(nId);
    }
}

bool CWinSendForm::PumpMessage(HACCEL hAccel, HWND hFrame)
{
    MSG msg;
    if (!::GetMessageW(&msg, nullptr, 0, 0))
    {
        ::PostQuitMessage(static_cast<int>(msg.wParam)); // for the outer loop
        return false;
    }
    // Escape stops a send wherever the focus is in the main window (Send itself is disabled).
    if (m_job.IsRunning() && msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE &&
        (msg.hwnd == hFrame || ::IsChild(hFrame, msg.hwnd)))
    {
        OnAbortSend();
        return true;
    }
    if (hAccel != nullptr && ::TranslateAcceleratorW(hFrame, hAccel, &msg))
        return true;
    if (m_hWnd != nullptr && ::IsDialogMessageW(m_hWnd, &msg))
        return true;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    return true;
}

void CWinSendForm::RunSend(SendKind kind)
{
    // The worker gets the form as it is now: the controls are read here, on this thread.
    m_bReadBeforeSend = ReadControls();
    const bool bClose = m_job.Run(
        m_form, kind, [this](bool bSending) { ShowSending(bSending); },
        [this](const std::function<bool()>& drain) {
            // The message loop goes on; what the worker hands over runs between messages and at
            // least every 10 ms, until the worker has finished and nothing is left.
            const HWND hFrame = ::GetParent(m_hWnd);
            const HACCEL hAccel = nullptr; // no stock command runs during a send
            for (;;)
            {
                if (!m_bDraining)
                {
                    m_bDraining = true;
                    const bool bFinished = drain();
                    m_bDraining = false;
                    if (bFinished)
                        return;
                }
                MSG msg;
                if (::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
                {
                    if (msg.message == WM_QUIT)
                    {
                        m_job.Abort(); // leave WM_QUIT queued for the outer loop
                        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
                        continue;
                    }
                    PumpMessage(hAccel, hFrame);
                }
                else
                    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            }
        });
    if (bClose)
        OnExit();
}

void CWinSendForm::PlaceStatus(int nWidthDlu)
{
    RECT rc{4, 96, 4 + nWidthDlu, 96 + 20};
    ::MapDialogRect(m_hWnd, &rc);
    ::SetWindowPos(::GetDlgItem(m_hWnd, IDC_STATUS), nullptr, rc.left, rc.top, rc.right - rc.left,
                   rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWinSendForm::ShowSending(bool bSending)
{
    m_sendPlatform.DropTimerTicks(bSending);
    const HWND hSend = ::GetDlgItem(m_hWnd, IDC_SEND);
    const HWND hAbort = ::GetDlgItem(m_hWnd, IDC_ABORT);
    if (bSending)
        m_hFocusBeforeSend = ::GetFocus();
    for (const int nId : kFieldIds)
        ::SendMessageW(::GetDlgItem(m_hWnd, nId), EM_SETREADONLY, bSending ? TRUE : FALSE, 0);
    // The status line makes room for 中止 while it shows.
    PlaceStatus(bSending ? STATUS_WIDTH_SENDING : STATUS_WIDTH);
    ::ShowWindow(hAbort, bSending ? SW_SHOW : SW_HIDE);
    // Disabling Send would leave the keyboard without a focus: it moves to 中止 meanwhile and
    // comes back when the send ends.
    if (bSending && m_hFocusBeforeSend == hSend)
        ::SetFocus(hAbort);
    ::EnableWindow(hSend, !bSending && m_bSendAllowed);
    if (!bSending && m_hFocusBeforeSend != nullptr && ::IsWindowEnabled(m_hFocusBeforeSend))
        ::SetFocus(m_hFocusBeforeSend);
    ::SetCursor(::LoadCursorW(nullptr, bSending ? IDC_APPSTARTING : IDC_ARROW));
}

void CWinSendForm::OnAbortSend()
{
    m_job.Abort();
}

bool CWinSendForm::DeferCloseUntilSendEnds()
{
    return m_job.DeferClose();
}

void CWinSendForm::ShowStrings()
{
    m_job.ShowStrings(m_sendPlatform.OnWindowThread(), m_form.Strings(),
                      [this](const FormStrings& shown) { ApplyStrings(shown); });
}

void CWinSendForm::ApplyStrings(const FormStrings& strings)
{
    const std::string& strStatus = strings.strStatus;
    const std::string& strDetail = strings.strDetail;
    if (m_hWnd == nullptr)
        return;
    for (std::size_t i = 0; i < std::size(kFieldIds); ++i)
        SetWindowTextSjis(::GetDlgItem(m_hWnd, kFieldIds[i]), strings[kFormFields[i]]);
    const HWND hStatus = ::GetDlgItem(m_hWnd, IDC_STATUS);
    SetWindowTextSjis(hStatus, strStatus);
    // The tooltip holds the failure's detail first (which step, what the server said), then the
    // whole status text.
    std::string strTip = strDetail;
    if (!strTip.empty())
        strTip.append("\n(ダブルクリックで送信記録を表示)");
    if (!strTip.empty() && !strStatus.empty())
        strTip.append("\n");
    strTip.append(strStatus);
    if (m_hTip != nullptr)
    {
        if (!SjisToWide(strTip, m_tipText))
            m_tipText.clear();
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND;
        tool.hwnd = m_hWnd;
        tool.uId = reinterpret_cast<UINT_PTR>(hStatus);
        tool.lpszText = m_tipText.data();
        ::SendMessageW(m_hTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    ::UpdateWindow(hStatus);
}

bool CWinSendForm::ReadControls()
{
    if (!m_sendPlatform.OnWindowThread())
        return m_bReadBeforeSend; // read on this window's thread as the send began
    // The status line is not among the fields: it is never read back.
    for (std::size_t i = 0; i < std::size(kFieldIds); ++i)
    {
        const FormField field = kFormFields[i];
        std::string strText = m_form.Field(field);
        if (!ReadLimitedText(m_platform, ::GetDlgItem(m_hWnd, kFieldIds[i]), strText,
                             FormFieldLimit(field)))
            return false;
        m_form.SetField(field, std::move(strText));
    }
    return true;
}

void CWinSendForm::EnableSend(bool bEnable)
{
    m_bSendAllowed = bEnable;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SEND), bEnable && !m_job.IsRunning());
}

void CWinSendForm::Message(const std::string& strText)
{
    m_platform.ShowMessage(strText, MsgButtons::Ok);
}

void CWinSendForm::OnInitialUpdate()
{
    m_form.ShowForm();
    const HWND hFrame = ::GetParent(m_hWnd);
    // A position saved on a screen that is no longer there would open the window out of sight:
    // it then opens at the default place instead.
    POINT pos{m_doc.m_cfg.nWindowLeft, m_doc.m_cfg.nWindowTop};
    const POINT probe{pos.x + 16, pos.y + 8};
    if (::MonitorFromPoint(probe, MONITOR_DEFAULTTONULL) == nullptr)
        pos = POINT{CfgData().nWindowLeft, CfgData().nWindowTop};
    ::SetWindowPos(hFrame, nullptr, pos.x, pos.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_form.Clear();
    m_form.StartAutomaticSending(); // ends by showing the form
}

void CWinSendForm::RunAddressDlg(int nMode, const std::string& strBookFile)
{
    CWinAddressDlg dlg(m_platform);
    dlg.m_logic.m_nMode = nMode;
    SetField(dlg.m_logic.m_szBookDir, m_doc.m_szAppDir);
    SetField(dlg.m_logic.m_szBookFile, strBookFile);
    dlg.m_logic.m_strName = m_form.Field(FormField::ToName);
    dlg.m_logic.m_strAddress = m_form.Field(FormField::ToAddress);
    if (m_platform.RunModal(dlg) == DLG_OK && !dlg.m_logic.m_strName.empty() &&
        !dlg.m_logic.m_strAddress.empty())
    {
        m_form.SetRecipient(dlg.m_logic.m_strName, dlg.m_logic.m_strAddress);
        m_form.ShowForm();
    }
}

void CWinSendForm::OnPreview()
{
    const MessagePreview preview = m_form.Preview();
    if (!preview.bComposed)
    {
        std::string strText = "プレビューできません: "; // troubleshooting
        Message(strText.append(preview.strProblem));
        return;
    }
    std::string strText = preview.strShown;
    strText.append("\n\n---- 送信される形 ----\n\n").append(preview.strSource);
    CWinTextViewDlg dlg(m_platform, "プレビュー", strText, false);
    m_platform.RunModal(dlg);
}

void CWinSendForm::OnSelectFile(const char* pszFilter, const char* pszExt, const char* pszStartDir,
                                FormField target)
{
    m_form.ReadForm();
    FileDialogRequest request;
    request.strStartDir = pszStartDir;
    request.strDefaultExt = pszExt;
    request.strFilter = pszFilter;
    request.bMustExist = true;
    request.bReadOnlyTicked = true;
    const FileDialogResult result = m_platform.OpenFileDialog(request);
    if (result.bConfirmed)
        m_form.SetField(target, result.strPath);
    m_form.ShowForm();
}

void CWinSendForm::OnEditTextFile()
{
    m_form.ReadForm();
    if (!PathExists(m_form.Field(FormField::TextFile)))
    {
        Message("指定ファイルが存在しません。"); // troubleshooting
        return;
    }
    OpenInEditor(m_platform, m_doc.m_cfg,
                 std::string("\"").append(m_form.Field(FormField::TextFile)).append("\""));
}

void CWinSendForm::OnOpenBinFile()
{
    m_form.ReadForm();
    if (!PathExists(m_form.Field(FormField::BinFile)))
    {
        Message("指定ファイルが存在しません。"); // troubleshooting
        return;
    }
    if (m_platform.ShellOpen(m_form.Field(FormField::BinFile), std::string()) <= 32)
        Message(std::string("オープンできません。\n")
                    .append(m_form.Field(FormField::BinFile))); // troubleshooting
}

void CWinSendForm::OnExit()
{
    // A close request, carried out once control is back in the message loop.
    ::PostMessageW(::GetParent(m_hWnd), WM_CLOSE, 0, 0);
}

void CWinSendForm::OnDestroy()
{
    m_form.OnDestroy(); // stops the timer
    const HWND hFrame = ::GetParent(m_hWnd);
    // A minimised window keeps the place it had before.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    RECT rc{};
    if (::IsIconic(hFrame) && ::GetWindowPlacement(hFrame, &placement))
        rc = placement.rcNormalPosition;
    else
        ::GetWindowRect(hFrame, &rc);
    m_doc.StoreWindowPosition(rc.left, rc.top);
}
