// FuzzEncodeHeaderLine.cpp - the header-line encoder on any bytes and any output size: it either
// fits the whole encoded line with its NUL or leaves the output empty, and never overruns.
#include "mail/MailEncoders.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 2)
        return 0;
    const std::size_t nOutSize = 1 + ((pData[0] << 8 | pData[1]) % 4096);
    const std::string strLine(reinterpret_cast<const char*>(pData + 2), nSize - 2);
    std::vector<char> out(nOutSize);
    const bool bFits = EncodeHeaderLine(strLine.c_str(), out.data(), nOutSize);
    const std::size_t nOut = strnlen(out.data(), nOutSize);
    if (nOut >= nOutSize || (!bFits && nOut != 0))
        std::abort();
    // Low bytes pass through: an all-ASCII line comes out unchanged when it fits.
    bool bAscii = true;
    for (const char c : std::string(strLine.c_str()))
        bAscii = bAscii && static_cast<unsigned char>(c) < 0x80;
    if (bFits && bAscii && std::strcmp(out.data(), strLine.c_str()) != 0)
        std::abort();
    return 0;
}
