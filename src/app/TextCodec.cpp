// TextCodec.cpp - CP932 <-> UTF-8 through iconv.
#include "app/TextCodec.h"

#include <cerrno>
#include <iconv.h>

namespace
{
class CIconv
{
  public:
    CIconv(const char* pszTo, const char* pszFrom) : m_cd(::iconv_open(pszTo, pszFrom)) {}
    ~CIconv()
    {
        if (Ok())
            ::iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;

    bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts all of in; on an unconvertible or incomplete character, stops and returns the
    // number of bytes of in left unconverted (0 means all done).
    std::size_t Convert(std::string_view in, std::string& out)
    {
        char* pIn = const_cast<char*>(in.data());
        std::size_t nInLeft = in.size();
        char buf[4096];
        while (nInLeft > 0)
        {
            char* pOut = buf;
            std::size_t nOutLeft = sizeof(buf);
            const std::size_t nRc = ::iconv(m_cd, &pIn, &nInLeft, &pOut, &nOutLeft);
            out.append(buf, sizeof(buf) - nOutLeft);
            if (nRc == static_cast<std::size_t>(-1) && errno != E2BIG)
                return nInLeft;
        }
        char* pOut = buf;
        std::size_t nOutLeft = sizeof(buf);
        ::iconv(m_cd, nullptr, nullptr, &pOut, &nOutLeft);
        out.append(buf, sizeof(buf) - nOutLeft);
        return 0;
    }

  private:
    iconv_t m_cd;
};

bool ConvertStrict(const char* pszTo, const char* pszFrom, std::string_view in, std::string& out)
{
    out.clear();
    CIconv cd(pszTo, pszFrom);
    if (!cd.Ok() || cd.Convert(in, out) != 0)
    {
        out.clear();
        return false;
    }
    return true;
}
} // namespace

bool SjisToUtf8(std::string_view sjis, std::string& out)
{
    return ConvertStrict("UTF-8", "CP932", sjis, out);
}

bool Utf8ToSjis(std::string_view utf8, std::string& out)
{
    return ConvertStrict("CP932", "UTF-8", utf8, out);
}

std::string SjisToUtf8Lossy(std::string_view sjis)
{
    std::string out;
    CIconv cd("UTF-8", "CP932");
    if (!cd.Ok())
        return out;
    while (!sjis.empty())
    {
        const std::size_t nLeft = cd.Convert(sjis, out);
        if (nLeft == 0)
            break;
        out += "\xEF\xBF\xBD";
        sjis = sjis.substr(sjis.size() - nLeft + 1);
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
