// TextCodec.cpp - CP932 <-> UTF-8 with one behaviour on every platform: the system converts,
// and what Windows' code page 932 refuses is refused here too (the files come from Windows).
#include "app/TextCodec.h"

#include "app/Cp932Codec.h"
#include "app/Sjis.h"

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

bool Utf8ToSjis(std::string_view utf8, std::string& out)
{
    // A character that only maps one way (U+301C WAVE DASH to 0x8160, which reads back as
    // U+FF5E) would come back as another one: only text that reads back the same is taken.
    std::string back;
    if (!SystemUtf8ToCp932(utf8, out) || !SjisToUtf8(out, back) || back != utf8)
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
