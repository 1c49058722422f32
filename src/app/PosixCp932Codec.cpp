// PosixCp932Codec.cpp - CP932 through glibc iconv ("CP932", not "SHIFT_JIS", which turns the
// backslash into a yen sign).
#include "app/Cp932Codec.h"

#include <cerrno>
#include <iconv.h>

namespace
{
bool Convert(const char* pszTo, const char* pszFrom, std::string_view in, std::string& out)
{
    out.clear();
    const iconv_t cd = ::iconv_open(pszTo, pszFrom);
    // iconv_open's documented failure value. NOLINTNEXTLINE(performance-no-int-to-ptr)
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    char* pIn = const_cast<char*>(in.data());
    std::size_t nInLeft = in.size();
    char buf[4096];
    bool bOk = true;
    while (bOk && nInLeft > 0)
    {
        char* pOut = buf;
        std::size_t nOutLeft = sizeof(buf);
        const std::size_t nRc = ::iconv(cd, &pIn, &nInLeft, &pOut, &nOutLeft);
        out.append(buf, sizeof(buf) - nOutLeft);
        bOk = nRc != static_cast<std::size_t>(-1) || errno == E2BIG;
    }
    char* pOut = buf;
    std::size_t nOutLeft = sizeof(buf);
    ::iconv(cd, nullptr, nullptr, &pOut, &nOutLeft);
    out.append(buf, sizeof(buf) - nOutLeft);
    ::iconv_close(cd);
    return bOk;
}
} // namespace

bool SystemCp932ToUtf8(std::string_view in, std::string& out)
{
    return Convert("UTF-8", "CP932", in, out);
}

bool SystemUtf8ToCp932(std::string_view in, std::string& out)
{
    return Convert("CP932", "UTF-8", in, out);
}
