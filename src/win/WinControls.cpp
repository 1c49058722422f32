// WinControls.cpp - CP932 texts in and out of Win32 controls.
#include "win/WinControls.h"

#include "app/DataExchange.h"
#include "app/WinText.h"

#include <algorithm>

std::wstring WindowTextWide(HWND hWnd)
{
    const int nLength = ::GetWindowTextLengthW(hWnd);
    std::wstring text(static_cast<std::size_t>(nLength) + 1, L'\0');
    const int nGot = ::GetWindowTextW(hWnd, text.data(), nLength + 1);
    text.resize(static_cast<std::size_t>(nGot > 0 ? nGot : 0));
    return text;
}

void SetWindowTextSjis(HWND hWnd, const std::string& strSjis)
{
    std::wstring wide;
    if (!SjisToWide(strSjis, wide))
    {
        for (const unsigned char c : strSjis)
            wide.push_back(c < 0x80 ? static_cast<wchar_t>(c) : L'\xFFFD');
    }
    ::SetWindowTextW(hWnd, wide.c_str());
}

bool ReadLimitedText(IPlatform& platform, HWND hEdit, std::string& str, int nLimit)
{
    std::string strText;
    const bool bConvertible = WideToSjis(WindowTextWide(hEdit), strText);
    const std::string strMessage = TextFieldMessage(
        bConvertible, strText.size(), static_cast<std::size_t>(nLimit > 0 ? nLimit : 0));
    if (!strMessage.empty())
    {
        platform.ShowMessage(strMessage, MsgButtons::Ok);
        ::SetFocus(hEdit);
        ::SendMessageW(hEdit, EM_SETSEL, 0, -1);
        return false;
    }
    str = strText;
    return true;
}

void ShowLimitedText(HWND hEdit, const std::string& str, int nLimit)
{
    if (nLimit > 0)
        ::SendMessageW(hEdit, EM_LIMITTEXT, static_cast<WPARAM>(nLimit), 0);
    SetWindowTextSjis(hEdit, str);
}

namespace
{
BOOL CALLBACK FitChild(HWND hWnd, LPARAM lParam)
{
    reinterpret_cast<CFittedFonts*>(lParam)->Fit(hWnd);
    return TRUE;
}
} // namespace

void CFittedFonts::Fit(HWND hDlg)
{
    wchar_t szClass[16] = {};
    ::GetClassNameW(hDlg, szClass, 16);
    if (::lstrcmpiW(szClass, L"#32770") != 0)
    {
        FitControl(hDlg);
        return;
    }
    ::EnumChildWindows(hDlg, &FitChild, reinterpret_cast<LPARAM>(this));
}

void CFittedFonts::FitControl(HWND hControl)
{
    wchar_t szClass[16] = {};
    ::GetClassNameW(hControl, szClass, 16);
    const LONG nStyle = ::GetWindowLongW(hControl, GWL_STYLE);
    const bool bButton =
        ::lstrcmpiW(szClass, L"Button") == 0 &&
        ((nStyle & BS_TYPEMASK) == BS_PUSHBUTTON || (nStyle & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
    const bool bLabel = ::lstrcmpiW(szClass, L"Static") == 0 && (nStyle & SS_TYPEMASK) <= SS_RIGHT;
    if (!bButton && !bLabel)
        return;
    std::wstring text = WindowTextWide(hControl);
    // Blanks at the end are never seen: they need no room.
    while (!text.empty() && text.back() == L' ')
        text.pop_back();
    if (text.empty())
        return;
    const HFONT hFont = reinterpret_cast<HFONT>(::SendMessageW(hControl, WM_GETFONT, 0, 0));
    RECT rc{};
    ::GetClientRect(hControl, &rc);
    // A button's frame and focus rectangle take a few pixels on each side.
    const int nAvailable = (rc.right - rc.left) - (bButton ? 8 : 0);
    const HDC hdc = ::GetDC(hControl);
    const HGDIOBJ hOld = ::SelectObject(hdc, hFont);
    SIZE size{};
    ::GetTextExtentPoint32W(hdc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(hdc, &metrics);
    ::SelectObject(hdc, hOld);
    ::ReleaseDC(hControl, hdc);
    if (size.cx <= nAvailable || nAvailable <= 0 || hFont == nullptr)
        return;
    LOGFONTW font{};
    ::GetObjectW(hFont, sizeof(font), &font);
    // Narrower characters, no less than three quarters of their width. Some fonts keep their
    // full-width (Japanese) characters as wide whatever the width asked, so the height shrinks
    // by the same share too.
    const LONG nPercent = std::max<LONG>(75, nAvailable * 100 / size.cx);
    font.lfWidth = std::max<LONG>(1, metrics.tmAveCharWidth * nPercent / 100);
    font.lfHeight = font.lfHeight * nPercent / 100; // its sign kept (cell or character height)
    const HFONT hNarrow = ::CreateFontIndirectW(&font);
    if (hNarrow == nullptr)
        return;
    m_fonts.push_back(hNarrow);
    ::SendMessageW(hControl, WM_SETFONT, reinterpret_cast<WPARAM>(hNarrow), TRUE);
}

void CFittedFonts::Release()
{
    for (const HFONT hFont : m_fonts)
        ::DeleteObject(hFont);
    m_fonts.clear();
}
