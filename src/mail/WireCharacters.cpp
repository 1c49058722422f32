// WireCharacters.cpp - finding and replacing what ISO-2022-JP cannot carry.
#include "mail/WireCharacters.h"

#include "app/Sjis.h"
#include "app/TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace
{
struct Replacement
{
    std::uint16_t nCode;
    const char* pszText; // CP932
};

#include "mail/WireReplacementTable.inc"

constexpr const char* kGeta = "〓";

bool IsHalfWidthKana(unsigned char c)
{
    return c >= 0xA1 && c <= 0xDF;
}

bool IsUnsafeLead(unsigned char c)
{
    return c == 0x87 || c == 0xED || c == 0xEE || (c >= 0xF0 && c <= 0xFC);
}

template <std::size_t N> const char* Lookup(const Replacement (&table)[N], std::uint16_t nCode)
{
    const Replacement* pEnd = table + N;
    const Replacement* p = std::lower_bound(
        table, pEnd, nCode, [](const Replacement& r, std::uint16_t n) { return r.nCode < n; });
    return p != pEnd && p->nCode == nCode ? p->pszText : nullptr;
}

// Walks text character by character: onChar(position, length) for every character.
template <typename F> void ForEachChar(std::string_view text, F onChar)
{
    std::size_t i = 0;
    while (i < text.size())
    {
        const std::size_t n =
            IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        onChar(i, n);
        i += n;
    }
}
} // namespace

std::vector<UnsafeChar> FindUnsafeChars(std::string_view text)
{
    std::vector<UnsafeChar> found;
    std::size_t nLine = 1;
    ForEachChar(text, [&](std::size_t i, std::size_t n) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n')
            ++nLine;
        else if ((n == 1 && IsHalfWidthKana(c)) || (n == 2 && IsUnsafeLead(c)))
            found.push_back(UnsafeChar{std::string(text.substr(i, n)), nLine});
    });
    return found;
}

std::string ReplaceUnsafeChars(std::string_view text)
{
    std::string strOut;
    strOut.reserve(text.size());
    std::size_t nSkip = 0; // a voiced mark already joined to its kana
    ForEachChar(text, [&](std::size_t i, std::size_t n) {
        if (nSkip > 0)
        {
            --nSkip;
            return;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (n == 1 && IsHalfWidthKana(c))
        {
            if (i + 1 < text.size())
            {
                const auto mark = static_cast<unsigned char>(text[i + 1]);
                if (const char* pszJoined =
                        Lookup(kHalfWidthVoiced, static_cast<std::uint16_t>((c << 8) | mark)))
                {
                    strOut += pszJoined;
                    nSkip = 1;
                    return;
                }
            }
            strOut += Lookup(kHalfWidthKana, c);
        }
        else if (n == 2 && IsUnsafeLead(c))
        {
            const auto nCode =
                static_cast<std::uint16_t>((c << 8) | static_cast<unsigned char>(text[i + 1]));
            const char* pszText = Lookup(kDoubleByte, nCode);
            strOut += pszText != nullptr ? pszText : kGeta; // user-defined and unassigned codes
        }
        else
            strOut.append(text.substr(i, n));
    });
    return strOut;
}

std::string ToWireUtf8(std::string_view sjis)
{
    std::string strUtf8;
    if (SjisToUtf8(sjis, strUtf8) || SjisToUtf8(ReplaceUnsafeChars(sjis), strUtf8))
        return strUtf8;
    return SjisToUtf8Lossy(ReplaceUnsafeChars(sjis));
}

std::size_t ReplacementTableSize()
{
    return std::size(kDoubleByte) + std::size(kHalfWidthKana) + std::size(kHalfWidthVoiced);
}
