// WinControls.cpp - CP932 texts in and out of Win32 controls.
#include "win/WinControls.h"

#include "app/DataExchange.h"
#include "app/WinText.h"

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
