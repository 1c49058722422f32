// Sjis.h - byte-level helpers for Shift_JIS (CP932) text: lead bytes, searches that step over
// double-byte characters, and bounded copies into fixed fields.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The first byte of a double-byte CP932 character.
inline bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The second byte of a double-byte CP932 character.
inline bool IsTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Position of the first occurrence of needle in text at or after start that begins on a character
// boundary (never on the second byte of a double-byte character); npos when there is none.
// start must itself be a character boundary. Case-sensitive.
std::size_t FindSjis(std::string_view text, std::string_view needle, std::size_t start = 0);

// text without the ASCII white space (blank, tab, CR, LF, vertical tab, form feed) at its two
// ends; double-byte characters, the ideographic space among them, stay.
std::string_view TrimAsciiSpace(std::string_view text);

// The longest prefix of text of at most nMaxBytes bytes that does not end inside a double-byte
// character.
std::string_view CutAtCharBoundary(std::string_view text, std::size_t nMaxBytes);

// Copies text into the fixed field pszField[nFieldSize] with its terminating NUL. Returns false,
// leaving the field empty, when text is longer than nFieldSize - 1 bytes: a value is never cut
// and then used.
bool CopyToField(char* pszField, std::size_t nFieldSize, std::string_view text);

// The text of a fixed field: up to its first NUL, never past its end.
template <std::size_t N> std::string FieldText(const char (&szField)[N])
{
    std::size_t n = 0;
    while (n < N && szField[n] != '\0')
        ++n;
    return std::string(szField, n);
}

// Copies the text of one field into another, cut to fit at a character boundary.
template <std::size_t N> void SetField(char (&szField)[N], std::string_view text)
{
    const std::string_view fit = CutAtCharBoundary(text, N - 1);
    fit.copy(szField, fit.size());
    szField[fit.size()] = '\0';
}
