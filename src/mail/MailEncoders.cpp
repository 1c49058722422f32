// MailEncoders.cpp - base64, Shift_JIS to ISO-2022-JP, and header encoded-words.
#include "mail/MailEncoders.h"

#include "app/Sjis.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

const char kEncodedWordPrefix[] = "=?ISO-2022-JP?B?";
const char kEncodedWordSuffix[] = "?=";

// Two base64 characters for every 12-bit value: a triplet of bytes takes two look-ups instead of
// four, which roughly doubles the encoder's speed on large attachments.
struct CBase64PairTable
{
    char pairs[4096][2]{};
    constexpr CBase64PairTable()
    {
        for (int i = 0; i < 4096; ++i)
        {
            pairs[i][0] = kBase64Alphabet[i >> 6];
            pairs[i][1] = kBase64Alphabet[i & 0x3F];
        }
    }
};
constexpr CBase64PairTable kBase64Pairs;

// The longest run a header line may hold: the run and its conversion each live in 1024 bytes.
constexpr std::size_t kWorkBufferSize = 1024;

// Single bytes that go out as they are; every other single byte is written as ".".
bool IsCopiedSingleByte(unsigned char c)
{
    return (c >= 0x20 && c <= 0x7E) || c == '\t' || c == '\n' || c == '\r';
}
} // namespace

int EncodeBase64Bytes(int nCount, const unsigned char* pBytes, char* pszOut)
{
    if (nCount <= 0)
    {
        pszOut[0] = '\0';
        return 0;
    }
    char* p = pszOut;
    int i = 0;
    for (; i + 3 <= nCount; i += 3)
    {
        const unsigned v = (pBytes[i] << 16) | (pBytes[i + 1] << 8) | pBytes[i + 2];
        std::memcpy(p, kBase64Pairs.pairs[v >> 12], 2);
        std::memcpy(p + 2, kBase64Pairs.pairs[v & 0xFFF], 2);
        p += 4;
    }
    const int nRest = nCount - i;
    if (nRest > 0)
    {
        const unsigned v = (pBytes[i] << 16) | (nRest == 2 ? pBytes[i + 1] << 8 : 0);
        *p++ = kBase64Alphabet[(v >> 18) & 0x3F];
        *p++ = kBase64Alphabet[(v >> 12) & 0x3F];
        *p++ = nRest == 2 ? kBase64Alphabet[(v >> 6) & 0x3F] : '=';
        *p++ = '=';
    }
    *p = '\0';
    return nCount;
}

int EncodeBase64(const char* pszText, char* pszOut)
{
    return EncodeBase64Bytes(static_cast<int>(std::strlen(pszText)),
                             reinterpret_cast<const unsigned char*>(pszText), pszOut);
}

int SjisToJis(const char* pszText, char* pszOut, int nCapacity)
{
    const auto* s = reinterpret_cast<const unsigned char*>(pszText);
    auto* out = reinterpret_cast<unsigned char*>(pszOut);
    int nBudget = 10; // reserves room for the closing escape and the NUL
    int nConsumed = 0;
    bool bKanji = false;
    while (nBudget <= nCapacity && s[nConsumed] != '\0')
    {
        const unsigned s1 = s[nConsumed];
        const bool bLead = IsLeadByte(static_cast<unsigned char>(s1));
        if (bLead && s[nConsumed + 1] == '\0')
            break; // a lone lead byte at the end is dropped
        // A trail byte outside 0x40-0x7E and 0x80-0xFC would come out as a NUL, a control byte
        // (a bare CR or LF inside ESC $ B) or an 8-bit byte, and a CR or LF would be swallowed:
        // such a lead byte is sent as "." and the byte after it is taken on its own.
        if (bLead && IsTrailByte(s[nConsumed + 1]))
        {
            const unsigned s2 = s[nConsumed + 1];
            if (!bKanji)
            {
                *out++ = 0x1B;
                *out++ = '$';
                *out++ = 'B';
                nBudget += 3;
                bKanji = true;
            }
            unsigned j1 = s1 <= 0x9F ? 2 * s1 - 0xE1 : 2 * s1 - 0x161;
            if (s2 >= 0x9F)
                ++j1;
            unsigned j2;
            if (s2 <= 0x7E)
                j2 = s2 - 0x1F;
            else if (s2 <= 0x9E)
                j2 = s2 - 0x20;
            else
                j2 = s2 - 0x7E;
            *out++ = static_cast<unsigned char>(j1 & 0xFF);
            *out++ = static_cast<unsigned char>(j2 & 0xFF);
            nBudget += 2;
            nConsumed += 2;
        }
        else
        {
            if (bKanji)
            {
                *out++ = 0x1B;
                *out++ = '(';
                *out++ = 'B';
                nBudget += 3;
                bKanji = false;
            }
            *out++ = IsCopiedSingleByte(static_cast<unsigned char>(s1)) ? s1 : '.';
            nBudget += 1;
            nConsumed += 1;
        }
    }
    if (bKanji)
    {
        *out++ = 0x1B;
        *out++ = '(';
        *out++ = 'B';
    }
    *out = '\0';
    return nConsumed;
}

int NextRunLength(const char* pszText)
{
    const auto* s = reinterpret_cast<const unsigned char*>(pszText);
    if (s[0] == '\0')
        return 0;
    int n = 0;
    if (s[0] < 0x80)
    {
        while (s[n] != '\0' && s[n] < 0x80)
            ++n;
        return n;
    }
    while (s[n] != '\0' && s[n] >= 0x80)
    {
        if (s[n + 1] == '\0')
            return -(n + 1); // a high byte directly before the NUL counts alone
        n += 2;
    }
    return -n;
}

bool EncodeHeaderLine(const char* pszLine, char* pszOut, std::size_t nOutSize)
{
    if (nOutSize == 0)
        return false;
    pszOut[0] = '\0';
    std::size_t nOut = 0;
    auto append = [&](const char* p, std::size_t n) {
        if (nOut + n >= nOutSize)
            return false;
        std::memcpy(pszOut + nOut, p, n);
        nOut += n;
        pszOut[nOut] = '\0';
        return true;
    };
    const char* p = pszLine;
    for (int n = NextRunLength(p); n != 0; n = NextRunLength(p))
    {
        bool bFits;
        if (n > 0)
        {
            bFits = append(p, static_cast<std::size_t>(n));
        }
        else
        {
            const std::size_t nRun = static_cast<std::size_t>(-n);
            if (nRun >= kWorkBufferSize)
            {
                pszOut[0] = '\0';
                return false;
            }
            char szRun[kWorkBufferSize];
            char szJis[kWorkBufferSize];
            char szBase64[(kWorkBufferSize + 2) / 3 * 4 + 1];
            std::memcpy(szRun, p, nRun);
            szRun[nRun] = '\0';
            SjisToJis(szRun, szJis, static_cast<int>(kWorkBufferSize));
            EncodeBase64(szJis, szBase64);
            bFits = append(kEncodedWordPrefix, sizeof(kEncodedWordPrefix) - 1) &&
                    append(szBase64, std::strlen(szBase64)) &&
                    append(kEncodedWordSuffix, sizeof(kEncodedWordSuffix) - 1);
        }
        if (!bFits)
        {
            pszOut[0] = '\0';
            return false;
        }
        p += n > 0 ? n : -n;
    }
    return true;
}

std::string EncodeBase64Lines(std::string_view bytes)
{
    constexpr std::size_t kLineBytes = kMaxEncodedLine / 4 * 3;
    std::string strOut;
    strOut.reserve((bytes.size() + kLineBytes - 1) / kLineBytes * (kMaxEncodedLine + 2));
    char szLine[kMaxEncodedLine + 1];
    for (std::size_t nAt = 0; nAt < bytes.size(); nAt += kLineBytes)
    {
        const std::size_t n = std::min(kLineBytes, bytes.size() - nAt);
        EncodeBase64Bytes(static_cast<int>(n),
                          reinterpret_cast<const unsigned char*>(bytes.data() + nAt), szLine);
        strOut.append(szLine).append("\r\n");
    }
    return strOut;
}

std::string EncodeQuotedPrintable(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string strOut;
    strOut.reserve(text.size() + text.size() / 8);
    std::size_t nColumn = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n')
        {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            strOut.append("\r\n");
            nColumn = 0;
            continue;
        }
        const bool bLineEnds = i + 1 == text.size() || text[i + 1] == '\r' || text[i + 1] == '\n';
        const bool bBlank = c == ' ' || c == '\t';
        bool bLiteral = (c >= 33 && c <= 126 && c != '=') || (bBlank && !bLineEnds);
        std::size_t nToken = bLiteral ? 1 : 3;
        // The last token of a line may use the 76th column; any other leaves it to the "=".
        if (nColumn + nToken > (bLineEnds ? kMaxEncodedLine : kMaxEncodedLine - 1))
        {
            strOut.append("=\r\n");
            nColumn = 0;
            // A blank right after a soft line break is dropped by some decoders (nkf) as
            // the indentation of a folded line: it goes encoded.
            if (bBlank)
            {
                bLiteral = false;
                nToken = 3;
            }
        }
        if (bLiteral)
            strOut.push_back(static_cast<char>(c));
        else
        {
            strOut.push_back('=');
            strOut.push_back(kHex[c >> 4]);
            strOut.push_back(kHex[c & 0x0F]);
        }
        nColumn += nToken;
    }
    return strOut;
}
