// Sjis.cpp - byte-level helpers for Shift_JIS (CP932) text.
#include "app/Sjis.h"

#if !defined(__clang__)
static_assert(sizeof("あ") == 3,
              "core narrow literals must be compiled to CP932 (-fexec-charset=CP932)");
#endif

std::size_t FindSjis(std::string_view text, std::string_view needle, std::size_t start)
{
    if (needle.empty())
        return start <= text.size() ? start : std::string_view::npos;
    std::size_t i = start;
    while (i < text.size())
    {
        if (text.size() - i >= needle.size() && text.compare(i, needle.size(), needle) == 0)
            return i;
        i += (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    }
    return std::string_view::npos;
}

std::string_view TrimAsciiSpace(std::string_view text)
{
    constexpr std::string_view SPACE = " \t\r\n\v\f";
    const std::size_t nFirst = text.find_first_not_of(SPACE);
    if (nFirst == std::string_view::npos)
        return std::string_view();
    const std::size_t nLast = text.find_last_not_of(SPACE);
    return text.substr(nFirst, nLast - nFirst + 1);
}

std::string_view CutAtCharBoundary(std::string_view text, std::size_t nMaxBytes)
{
    if (text.size() <= nMaxBytes)
        return text;
    std::size_t i = 0;
    while (i < nMaxBytes)
    {
        const std::size_t nChar = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + nChar > nMaxBytes)
            break;
        i += nChar;
    }
    return text.substr(0, i);
}

bool CopyToField(char* pszField, std::size_t nFieldSize, std::string_view text)
{
    if (nFieldSize == 0)
        return false;
    if (text.size() > nFieldSize - 1)
    {
        pszField[0] = '\0';
        return false;
    }
    text.copy(pszField, text.size());
    pszField[text.size()] = '\0';
    return true;
}
