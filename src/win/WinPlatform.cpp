// WinPlatform.cpp - the platform seam on the Windows desktop.
#include "win/WinPlatform.h"

#include "app/DataExchange.h"
#include "app/WinText.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

namespace
{
CWinPlatform* g_pTimerPlatform = nullptr; // thread timers carry no context of their own

std::wstring Wide(const std::string& strSjis)
{
    std::wstring wide;
    if (!SjisToWide(strSjis, wide))
    {
        // Text from a record or a file that is not valid CP932 is still shown, byte by byte.
        for (const unsigned char c : strSjis)
            wide.push_back(c < 0x80 ? static_cast<wchar_t>(c) : L'\xFFFD');
    }
    return wide;
}

std::wstring NativePath(std::wstring path)
{
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}
} // namespace

std::wstring FileDialogFilter(const std::wstring& filter)
{
    std::wstring out = filter;
    // "||" ends the list: what follows it is not part of the filter.
    if (const std::size_t nEnd = out.find(L"||"); nEnd != std::wstring::npos)
        out.erase(nEnd + 1);
    if (out.empty())
        return out;
    if (out.back() != L'|')
        out.push_back(L'|');
    for (wchar_t& c : out)
        if (c == L'|')
            c = L'\0';
    out.push_back(L'\0');
    return out;
}

std::wstring FileDialogDefaultExt(const std::wstring& ext)
{
    if (ext.empty() || ext == L"*")
        return std::wstring();
    return ext[0] == L'.' ? ext.substr(1) : ext;
}

CWinPlatform::CWinPlatform()
{
    g_pTimerPlatform = this;
}

CWinPlatform::~CWinPlatform()
{
    for (const auto& [nId, timer] : m_timers)
        ::KillTimer(nullptr, timer.nSystemId);
    g_pTimerPlatform = nullptr;
}

HWND CWinPlatform::Owner() const
{
    // The dialog or box that is up now, so that a message stays in front of it.
    const HWND hActive = ::GetActiveWindow();
    return hActive != nullptr ? hActive : m_hMain;
}

MsgResult CWinPlatform::ShowMessage(const std::string& strText, MsgButtons buttons)
{
    const UINT uType = buttons == MsgButtons::YesNo      ? MB_YESNO
                       : buttons == MsgButtons::OkCancel ? MB_OKCANCEL
                                                         : MB_OK;
    const int nAnswer = ::MessageBoxW(Owner(), Wide(strText).c_str(), L"Tarvell",
                                      uType | MB_ICONEXCLAMATION | MB_TASKMODAL);
    switch (nAnswer)
    {
    case IDYES:
        return MsgResult::Yes;
    case IDNO:
        return MsgResult::No;
    case IDCANCEL:
        return MsgResult::Cancel;
    default:
        return MsgResult::Ok;
    }
}

std::size_t CWinPlatform::AskQuestion(const std::string& strText,
                                      const std::vector<std::string>& answers)
{
    // Looked up, not imported: only the version 6 common controls (the manifest's) have it.
    using TaskDialogIndirectFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
    const HMODULE hComCtl = ::GetModuleHandleW(L"comctl32.dll");
    const auto pTaskDialog = hComCtl == nullptr
                                 ? nullptr
                                 : reinterpret_cast<TaskDialogIndirectFn>(reinterpret_cast<void*>(
                                       ::GetProcAddress(hComCtl, "TaskDialogIndirect")));
    if (pTaskDialog == nullptr || answers.empty())
        return IPlatform::AskQuestion(strText, answers);
    constexpr int FIRST_ID = 100;
    std::vector<std::wstring> labels;
    for (const std::string& strAnswer : answers)
        labels.push_back(Wide(strAnswer));
    std::vector<TASKDIALOG_BUTTON> buttons;
    for (std::size_t i = 0; i < labels.size(); ++i)
        buttons.push_back(TASKDIALOG_BUTTON{FIRST_ID + static_cast<int>(i), labels[i].c_str()});
    const std::wstring text = Wide(strText);
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = Owner();
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pszWindowTitle = L"Tarvell";
    config.pszMainIcon = TD_WARNING_ICON;
    config.pszContent = text.c_str();
    config.cButtons = static_cast<UINT>(buttons.size());
    config.pButtons = buttons.data();
    config.nDefaultButton = FIRST_ID;
    int nButton = 0;
    if (FAILED(pTaskDialog(&config, &nButton, nullptr, nullptr)))
        return IPlatform::AskQuestion(strText, answers);
    const int nIndex = nButton - FIRST_ID;
    // Closed without an answer (Escape, the close box): the last answer.
    return nIndex >= 0 && static_cast<std::size_t>(nIndex) < answers.size()
               ? static_cast<std::size_t>(nIndex)
               : answers.size() - 1;
}

bool CWinPlatform::ToResult(const std::wstring& path, FileDialogResult& result)
{
    std::string strPath;
    if (!WideToSjis(path, strPath))
    {
        ShowMessage(UnconvertibleTextMessage(), MsgButtons::Ok);
        return false;
    }
    for (char& c : strPath)
        if (c == '\\')
            c = '/'; // the core writes every path with "/"
    // The name is what follows the last "/": a trail byte of CP932 is never 0x2F.
    const std::size_t nSlash = strPath.rfind('/');
    result.strName = nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
    result.strPath = strPath;
    result.bConfirmed = true;
    return true;
}

FileDialogResult CWinPlatform::OpenFileDialog(const FileDialogRequest& request)
{
    if (request.bFolder)
        return ChooseFolder(request);
    FileDialogResult result;
    const std::wstring filter = FileDialogFilter(Wide(request.strFilter));
    const std::wstring ext = FileDialogDefaultExt(Wide(request.strDefaultExt));
    const std::wstring title = Wide(request.strTitle);
    const std::wstring startDir = NativePath(Wide(request.strStartDir));
    std::wstring file(32768, L'\0');
    const std::wstring preset = Wide(request.strPresetName);
    preset.copy(file.data(), std::min<std::size_t>(preset.size(), file.size() - 1));

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = Owner();
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = startDir.empty() ? nullptr : startDir.c_str();
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (request.bMustExist)
        ofn.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (request.bAskCreate)
        ofn.Flags |= OFN_CREATEPROMPT | OFN_PATHMUSTEXIST;
    if (request.bReadOnlyTicked)
        ofn.Flags = (ofn.Flags & ~static_cast<DWORD>(OFN_HIDEREADONLY)) | OFN_READONLY;
    if (!::GetOpenFileNameW(&ofn))
        return result;
    ToResult(file.c_str(), result);
    return result;
}

namespace
{
int CALLBACK OnBrowseEvent(HWND hWnd, UINT uMsg, LPARAM /*lParam*/, LPARAM lpData)
{
    if (uMsg == BFFM_INITIALIZED && lpData != 0)
        ::SendMessageW(hWnd, BFFM_SETSELECTIONW, TRUE, lpData);
    return 0;
}
} // namespace

FileDialogResult CWinPlatform::ChooseFolder(const FileDialogRequest& request)
{
    FileDialogResult result;
    const std::wstring title = Wide(request.strTitle);
    const std::wstring startDir = NativePath(Wide(request.strStartDir));
    wchar_t szName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = Owner();
    info.pszDisplayName = szName;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = OnBrowseEvent;
    info.lParam = startDir.empty() ? 0 : reinterpret_cast<LPARAM>(startDir.c_str());
    PIDLIST_ABSOLUTE pidl = ::SHBrowseForFolderW(&info);
    if (pidl == nullptr)
        return result;
    std::wstring path(32768, L'\0');
    const bool bPath = ::SHGetPathFromIDListEx(pidl, path.data(), static_cast<DWORD>(path.size()),
                                               GPFIDL_DEFAULT) != FALSE;
    ::CoTaskMemFree(pidl);
    if (!bPath)
        return result;
    path.resize(std::wcslen(path.c_str()));
    if (path.empty() || path.back() != L'\\')
        path.push_back(L'\\');
    ToResult(path, result);
    return result;
}

int CWinPlatform::ShellOpen(const std::string& strFile, const std::string& strParams)
{
    const std::wstring file = Wide(strFile);
    const std::wstring params = Wide(strParams);
    // A path goes to the shell with the separators it knows; a web address stays as it is.
    const bool bAddress = file.find(L"://") != std::wstring::npos;
    const std::wstring target = bAddress ? file : NativePath(file);
    const HINSTANCE h =
        ::ShellExecuteW(Owner(), L"open", target.c_str(), params.empty() ? nullptr : params.c_str(),
                        nullptr, SW_SHOWNORMAL);
    return static_cast<int>(reinterpret_cast<INT_PTR>(h));
}

bool CWinPlatform::StartTimer(int nId, int nPeriodMs, std::function<void(int)> onTick)
{
    StopTimer(nId);
    const UINT_PTR nSystemId =
        ::SetTimer(nullptr, 0, static_cast<UINT>(nPeriodMs), &CWinPlatform::OnThreadTimer);
    if (nSystemId == 0)
        return false;
    m_timers[nId] = Timer{nSystemId, std::move(onTick)};
    return true;
}

void CWinPlatform::StopTimer(int nId)
{
    const auto it = m_timers.find(nId);
    if (it == m_timers.end())
        return;
    ::KillTimer(nullptr, it->second.nSystemId);
    m_timers.erase(it);
}

void CALLBACK CWinPlatform::OnThreadTimer(HWND /*hWnd*/, UINT /*uMsg*/, UINT_PTR nTimer,
                                          DWORD /*dwTime*/)
{
    if (g_pTimerPlatform == nullptr)
        return;
    for (const auto& [nId, timer] : g_pTimerPlatform->m_timers)
    {
        if (timer.nSystemId == nTimer)
        {
            // A copy: the tick may stop or restart its own timer.
            const std::function<void(int)> onTick = timer.onTick;
            const int nTimerId = nId;
            onTick(nTimerId);
            return;
        }
    }
}
