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

bool IsUtf8(std::string_view text)
{
    std::string out;
    return ConvertStrict("UTF-32LE", "UTF-8", text, out);
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
