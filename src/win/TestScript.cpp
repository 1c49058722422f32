// TestScript.cpp - the window's test mode.
#include "win/TestScript.h"

#include "app/WinText.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace
{
constexpr UINT STEP_MS = 50;
constexpr DWORD WAIT_LIMIT_MS = 60000;

bool NeedsId(const std::string& strVerb)
{
    return strVerb == "set" || strVerb == "click" || strVerb == "select" || strVerb == "menu" ||
           strVerb == "key" || strVerb == "wait-text" || strVerb == "wait-enabled" ||
           strVerb == "wait-focus" || strVerb == "dump";
}

bool NeedsText(const std::string& strVerb)
{
    return strVerb == "wait-dialog" || strVerb == "wait-enabled" || strVerb == "wait-file" ||
           strVerb == "signal" || strVerb == "select";
}

bool Known(const std::string& strVerb)
{
    return NeedsId(strVerb) || NeedsText(strVerb) || strVerb == "wait-no-dialog" ||
           strVerb == "dump-dialog" || strVerb == "close";
}
} // namespace

ScriptStep ParseScriptStep(const std::string& strLine)
{
    ScriptStep step;
    std::string line = strLine;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' '))
        line.pop_back();
    std::size_t nPos = line.find_first_not_of(' ');
    if (nPos == std::string::npos || line[nPos] == '#')
        return step;
    std::size_t nEnd = line.find(' ', nPos);
    step.strVerb = line.substr(nPos, nEnd - nPos);
    nPos = nEnd == std::string::npos ? line.size() : nEnd + 1;
    if (NeedsId(step.strVerb))
    {
        nEnd = line.find(' ', nPos);
        const std::string strId = line.substr(nPos, nEnd - nPos);
        char* pEnd = nullptr;
        const long nId = std::strtol(strId.c_str(), &pEnd, 10);
        if (strId.empty() || *pEnd != '\0' || nId < 0 || nId > 0xFFFF)
            return step;
        step.nId = static_cast<int>(nId);
        nPos = nEnd == std::string::npos ? line.size() : nEnd + 1;
    }
    step.strText = line.substr(std::min(nPos, line.size()));
    step.bValid = Known(step.strVerb) && (!NeedsText(step.strVerb) || !step.strText.empty());
    return step;
}

namespace
{
struct Script
{
    HWND hFrame = nullptr;
    HWND hForm = nullptr;
    std::vector<std::string> lines;
    std::size_t nNext = 0;
    DWORD dwWaitStart = 0;
    bool bWaiting = false;
    std::wstring report;
};
Script g_script;

std::wstring Wide(const std::string& strUtf8)
{
    std::wstring wide;
    return Utf8ToWide(strUtf8, wide) ? wide : std::wstring();
}

std::string Utf8(const std::wstring& wide)
{
    std::string utf8;
    return WideToUtf8(wide, utf8) ? utf8 : std::string("?");
}

std::wstring Text(HWND hWnd)
{
    if (hWnd == nullptr)
        return std::wstring();
    if ((::GetWindowLongW(hWnd, GWL_STYLE) & ES_PASSWORD) != 0)
    {
        wchar_t szClass[16] = {};
        ::GetClassNameW(hWnd, szClass, 16);
        if (::lstrcmpiW(szClass, L"Edit") == 0)
            return L"(password)";
    }
    const int n = ::GetWindowTextLengthW(hWnd);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(hWnd, text.data(), n + 1)));
    return text;
}

void Report(const std::string& strLine)
{
    if (g_script.report.empty())
        return;
    const HANDLE h = ::CreateFileW(g_script.report.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    const std::string line = strLine + "\n";
    DWORD dwWritten = 0;
    ::WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &dwWritten, nullptr);
    ::CloseHandle(h);
}

BOOL CALLBACK FindModal(HWND hWnd, LPARAM lParam)
{
    wchar_t szClass[16] = {};
    ::GetClassNameW(hWnd, szClass, 16);
    if (::lstrcmpW(szClass, L"#32770") == 0 && ::IsWindowVisible(hWnd) && ::IsWindowEnabled(hWnd))
    {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

// The dialog or message box in front, if any.
HWND ModalDialog()
{
    HWND hFound = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindModal, reinterpret_cast<LPARAM>(&hFound));
    return hFound;
}

HWND Target()
{
    const HWND hModal = ModalDialog();
    return hModal != nullptr ? hModal : g_script.hForm;
}

BOOL CALLBACK DumpChild(HWND hWnd, LPARAM /*lParam*/)
{
    const int nId = ::GetDlgCtrlID(hWnd);
    Report(std::to_string(nId & 0xFFFF) + "=" + Utf8(Text(hWnd)));
    return TRUE;
}

void Fail(const std::string& strWhy)
{
    Report("FAIL line " + std::to_string(g_script.nNext + 1) + ": " + strWhy);
    ::ExitProcess(3);
}

// Carries out the step; false while it waits for its condition.
bool RunStep(const ScriptStep& step)
{
    const HWND hTarget = Target();
    const std::wstring text = Wide(step.strText);
    if (step.strVerb == "set")
        ::SetDlgItemTextW(hTarget, step.nId, text.c_str());
    else if (step.strVerb == "click")
        ::PostMessageW(hTarget, WM_COMMAND, MAKEWPARAM(step.nId, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hTarget, step.nId)));
    else if (step.strVerb == "select")
    {
        const HWND hCombo = ::GetDlgItem(hTarget, step.nId);
        ::SendMessageW(hCombo, CB_SETCURSEL, std::strtoul(step.strText.c_str(), nullptr, 10), 0);
        ::PostMessageW(hTarget, WM_COMMAND, MAKEWPARAM(step.nId, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(hCombo));
    }
    else if (step.strVerb == "menu")
        ::PostMessageW(g_script.hFrame, WM_COMMAND, MAKEWPARAM(step.nId, 0), 0);
    else if (step.strVerb == "key")
    {
        const HWND hFocus = ::GetFocus();
        ::PostMessageW(hFocus != nullptr ? hFocus : hTarget, WM_KEYDOWN,
                       static_cast<WPARAM>(step.nId), 1);
    }
    else if (step.strVerb == "wait-dialog")
    {
        const HWND hModal = ModalDialog();
        return hModal != nullptr && Text(hModal) == text;
    }
    else if (step.strVerb == "wait-no-dialog")
        return ModalDialog() == nullptr;
    else if (step.strVerb == "wait-text")
        return Text(::GetDlgItem(hTarget, step.nId)).find(text) != std::wstring::npos;
    else if (step.strVerb == "wait-enabled")
        return (::IsWindowEnabled(::GetDlgItem(hTarget, step.nId)) != FALSE) ==
               (step.strText == "1");
    else if (step.strVerb == "wait-focus")
    {
        const HWND hFocus = ::GetFocus();
        return hFocus != nullptr && ::GetDlgCtrlID(hFocus) == step.nId;
    }
    else if (step.strVerb == "wait-file")
        return ::GetFileAttributesW(text.c_str()) != INVALID_FILE_ATTRIBUTES;
    else if (step.strVerb == "dump")
        Report(std::to_string(step.nId) + "=" + Utf8(Text(::GetDlgItem(hTarget, step.nId))));
    else if (step.strVerb == "dump-dialog")
    {
        Report("dialog=" + Utf8(Text(hTarget)));
        ::EnumChildWindows(hTarget, &DumpChild, 0);
    }
    else if (step.strVerb == "signal")
        Report("signal " + step.strText);
    else if (step.strVerb == "close")
        ::PostMessageW(g_script.hFrame, WM_CLOSE, 0, 0);
    return true;
}

void CALLBACK OnStep(HWND /*hWnd*/, UINT /*uMsg*/, UINT_PTR /*nTimer*/, DWORD /*dwTime*/)
{
    static bool bInStep = false; // a step that opens a modal loop must not be run again inside it
    if (bInStep)
        return;
    bInStep = true;
    while (g_script.nNext < g_script.lines.size())
    {
        const ScriptStep step = ParseScriptStep(g_script.lines[g_script.nNext]);
        if (step.strVerb.empty())
        {
            ++g_script.nNext;
            continue;
        }
        if (!step.bValid)
            Fail("cannot read: " + g_script.lines[g_script.nNext]);
        if (!g_script.bWaiting)
        {
            g_script.bWaiting = true;
            g_script.dwWaitStart = ::GetTickCount();
        }
        if (!RunStep(step))
        {
            if (::GetTickCount() - g_script.dwWaitStart > WAIT_LIMIT_MS)
                Fail("timed out: " + g_script.lines[g_script.nNext]);
            break;
        }
        g_script.bWaiting = false;
        ++g_script.nNext;
        break; // one step a tick: what it posted runs before the next looks
    }
    bInStep = false;
}

std::wstring EnvironmentText(const wchar_t* pszName)
{
    const DWORD n = ::GetEnvironmentVariableW(pszName, nullptr, 0);
    if (n == 0)
        return std::wstring();
    std::wstring value(n, L'\0');
    value.resize(::GetEnvironmentVariableW(pszName, value.data(), n));
    return value;
}
} // namespace

bool StartTestScript(HWND hFrame, HWND hForm)
{
    const std::wstring path = EnvironmentText(L"TARVELL_TEST_SCRIPT");
    if (path.empty())
        return false;
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::string content;
    char buf[4096];
    DWORD dwRead = 0;
    while (::ReadFile(h, buf, sizeof(buf), &dwRead, nullptr) && dwRead > 0)
        content.append(buf, dwRead);
    ::CloseHandle(h);
    g_script.hFrame = hFrame;
    g_script.hForm = hForm;
    g_script.report = EnvironmentText(L"TARVELL_TEST_REPORT");
    std::istringstream in(content);
    for (std::string line; std::getline(in, line);)
        g_script.lines.push_back(line);
    return ::SetTimer(nullptr, 0, STEP_MS, &OnStep) != 0;
}
