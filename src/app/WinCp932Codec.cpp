// WinCp932Codec.cpp - CP932 through Windows' code page 932, by way of UTF-16; nothing is
// converted by a best-fit guess or a default character.
#include "app/Cp932Codec.h"
#include "app/TextCodec.h"
#include "app/WinText.h"

#include <windows.h>

bool Utf8ToWide(std::string_view in, std::wstring& out)
{
    return MultiByteToWide(CP_UTF8, in, out);
}

bool WideToUtf8(std::wstring_view in, std::string& out)
{
    return WideToMultiByte(CP_UTF8, in, out);
}

bool MultiByteToWide(unsigned nCodePage, std::string_view in, std::wstring& out)
{
    out.clear();
    if (in.empty())
        return true;
    const int nIn = static_cast<int>(in.size());
    const int n =
        ::MultiByteToWideChar(nCodePage, MB_ERR_INVALID_CHARS, in.data(), nIn, nullptr, 0);
    if (n <= 0)
        return false;
    out.resize(static_cast<std::size_t>(n));
    return ::MultiByteToWideChar(nCodePage, MB_ERR_INVALID_CHARS, in.data(), nIn, out.data(), n) ==
           n;
}

bool WideToMultiByte(unsigned nCodePage, std::wstring_view in, std::string& out)
{
    out.clear();
    if (in.empty())
        return true;
    const int nIn = static_cast<int>(in.size());
    // UTF-8 refuses lone surrogates; code page 932 refuses what it has no character for, which
    // the default character (asked for) reports.
    const DWORD nFlags = nCodePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL bDefault = FALSE;
    BOOL* pDefault = nCodePage == CP_UTF8 ? nullptr : &bDefault;
    const int n =
        ::WideCharToMultiByte(nCodePage, nFlags, in.data(), nIn, nullptr, 0, nullptr, pDefault);
    if (n <= 0 || bDefault)
        return false;
    out.resize(static_cast<std::size_t>(n));
    return ::WideCharToMultiByte(nCodePage, nFlags, in.data(), nIn, out.data(), n, nullptr,
                                 pDefault) == n &&
           !bDefault;
}

bool SystemCp932ToUtf8(std::string_view in, std::string& out)
{
    std::wstring wide;
    return MultiByteToWide(932, in, wide) && WideToUtf8(wide, out);
}

bool SystemUtf8ToCp932(std::string_view in, std::string& out)
{
    std::wstring wide;
    return Utf8ToWide(in, wide) && WideToMultiByte(932, wide, out);
}

bool SjisToWide(std::string_view sjis, std::wstring& out)
{
    std::string utf8;
    return SjisToUtf8(sjis, utf8) && Utf8ToWide(utf8, out);
}

bool WideToSjis(std::wstring_view wide, std::string& out)
{
    std::string utf8;
    return WideToUtf8(wide, utf8) && Utf8ToSjis(utf8, out);
}
