// TextCodec.cpp - CP932 <-> UTF-8 with one behaviour on every platform: the system converts,
// and what Windows' code page 932 refuses is refused here too (the files come from Windows).
#include "app/TextCodec.h"

#include "app/Cp932Codec.h"
#include "app/Sjis.h"

#include <utility>

namespace
{
// Bytes that are no CP932 character, though glibc or a best-fit table gives them one.
bool IsUnassignedSingleByte(unsigned char c)
{
    return c == 0x80 || c == 0xA0 || c >= 0xFD;
}

bool HasUnassignedByte(std::string_view sjis)
{
    for (std::size_t i = 0; i < sjis.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(sjis[i]);
        if (IsLeadByte(c) && i + 1 < sjis.size())
            ++i;
        else if (IsUnassignedSingleByte(c))
            return true;
    }
    return false;
}
} // namespace

bool SjisToUtf8(std::string_view sjis, std::string& out)
{
    if (HasUnassignedByte(sjis) || !SystemCp932ToUtf8(sjis, out))
    {
        out.clear();
        return false;
    }
    return true;
}

namespace
{
// JIS X 0208 characters that Unicode holds twice: the form Linux input methods and Unicode's
// JIS table give (U+301C WAVE DASH ...) and the form code page 932 reads its bytes as (U+FF5E
// FULLWIDTH TILDE ...). Both are one JIS character, so both are written as its CP932 code.
// (The yen sign and the overline stay refused: their CP932 bytes are the backslash and tilde.)
constexpr std::pair<std::string_view, std::string_view> kJisTwins[] = {
    {"\xE3\x80\x9C", "\xEF\xBD\x9E"}, // U+301C WAVE DASH -> U+FF5E
    {"\xE2\x80\x96", "\xE2\x88\xA5"}, // U+2016 DOUBLE VERTICAL LINE -> U+2225
    {"\xE2\x88\x92", "\xEF\xBC\x8D"}, // U+2212 MINUS SIGN -> U+FF0D
    {"\xE2\x80\x94", "\xE2\x80\x95"}, // U+2014 EM DASH -> U+2015
    {"\xC2\xA2", "\xEF\xBF\xA0"},     // U+00A2 CENT SIGN -> U+FFE0
    {"\xC2\xA3", "\xEF\xBF\xA1"},     // U+00A3 POUND SIGN -> U+FFE1
    {"\xC2\xAC", "\xEF\xBF\xA2"},     // U+00AC NOT SIGN -> U+FFE2
};

// utf8 with each JIS twin in its code page 932 form; utf8 itself when it holds none.
std::string_view FoldJisTwins(std::string_view utf8, std::string& strFolded)
{
    if (utf8.find_first_of("\xC2\xE2\xE3") == std::string_view::npos)
        return utf8;
    strFolded.clear();
    for (std::size_t i = 0; i < utf8.size();)
    {
        bool bFolded = false;
        for (const auto& [from, to] : kJisTwins)
            if (utf8.substr(i, from.size()) == from)
            {
                strFolded.append(to);
                i += from.size();
                bFolded = true;
                break;
            }
        if (!bFolded)
            strFolded.push_back(utf8[i++]);
    }
    return strFolded;
}
} // namespace

bool Utf8ToSjis(std::string_view utf8, std::string& out)
{
    std::string strFolded;
    const std::string_view text = FoldJisTwins(utf8, strFolded);
    // A character that would still map only one way (glibc writes U+00A5 YEN SIGN as the
    // backslash) would come back as another one: only text that reads back the same is taken.
    std::string back;
    if (!SystemUtf8ToCp932(text, out) || !SjisToUtf8(out, back) || back != text)
    {
        out.clear();
        return false;
    }
    return true;
}

std::string SjisToUtf8Lossy(std::string_view sjis)
{
    std::string out;
    if (SjisToUtf8(sjis, out))
        return out;
    // Character by character only when something cannot be decoded.
    out.clear();
    std::string strChar;
    while (!sjis.empty())
    {
        const bool bDouble = IsLeadByte(static_cast<unsigned char>(sjis[0])) && sjis.size() > 1;
        const std::size_t n = bDouble ? 2 : 1;
        if (SjisToUtf8(sjis.substr(0, n), strChar))
        {
            out += strChar;
            sjis.remove_prefix(n);
        }
        else
        {
            out += "\xEF\xBF\xBD";
            sjis.remove_prefix(1);
        }
    }
    return out;
}

namespace
{
// The length of the UTF-8 sequence that starts at text[0], or 0 when it is not well-formed.
std::size_t Utf8SequenceLength(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char c = byte(0);
    if (c < 0x80)
        return 1;
    std::size_t nLength;
    unsigned char chMin = 0x80, chMax = 0xBF; // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF)
        nLength = 2;
    else if (c >= 0xE0 && c <= 0xEF)
    {
        nLength = 3;
        if (c == 0xE0)
            chMin = 0xA0; // no overlong forms
        else if (c == 0xED)
            chMax = 0x9F; // no surrogates
    }
    else if (c >= 0xF0 && c <= 0xF4)
    {
        nLength = 4;
        if (c == 0xF0)
            chMin = 0x90;
        else if (c == 0xF4)
            chMax = 0x8F; // at most U+10FFFF
    }
    else
        return 0;
    if (text.size() < nLength || byte(1) < chMin || byte(1) > chMax)
        return 0;
    for (std::size_t i = 2; i < nLength; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return nLength;
}
} // namespace

bool IsValidUtf8(std::string_view text)
{
    while (!text.empty())
    {
        const std::size_t n = Utf8SequenceLength(text);
        if (n == 0)
            return false;
        text.remove_prefix(n);
    }
    return true;
}

std::string Utf8ToSjisReplacing(std::string_view utf8, std::vector<std::string>* pUnconvertible)
{
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (utf8.substr(0, kBom.size()) == kBom)
        utf8.remove_prefix(kBom.size());
    std::string strOut;
    if (Utf8ToSjis(utf8, strOut))
        return strOut;
    // Character by character only when something cannot be written.
    strOut.clear();
    std::string strChar;
    while (!utf8.empty())
    {
        std::size_t n = Utf8SequenceLength(utf8);
        if (n == 0)
            n = 1;
        const std::string_view one = utf8.substr(0, n);
        if (Utf8ToSjis(one, strChar))
            strOut += strChar;
        else
        {
            strOut += "〓";
            if (pUnconvertible != nullptr)
                pUnconvertible->emplace_back(one);
        }
        utf8.remove_prefix(n);
    }
    return strOut;
}
