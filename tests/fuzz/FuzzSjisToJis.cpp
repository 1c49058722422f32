// FuzzSjisToJis.cpp - the converter on any bytes and any capacity: it never writes past
// capacity - 1 bytes, consumes no more than the text holds, and ends in ASCII mode.
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
    const int nCapacity = 1 + ((pData[0] << 8 | pData[1]) % 2048);
    const std::string strText(reinterpret_cast<const char*>(pData + 2), nSize - 2);
    // Exactly the bytes the converter may use, so any overrun is caught.
    std::vector<char> out(nCapacity > 1 ? static_cast<std::size_t>(nCapacity) - 1 : 1);
    const int nConsumed = SjisToJis(strText.c_str(), out.data(), nCapacity);
    const std::size_t nText = std::strlen(strText.c_str());
    if (nConsumed < 0 || static_cast<std::size_t>(nConsumed) > nText)
        std::abort();
    // Valid Shift_JIS (trail bytes 0x40 and above) never converts to a NUL, and then the output
    // ends in ASCII mode. An invalid trail such as 0x1F may give a NUL byte: nothing checked then.
    bool bValidTrails = true;
    for (std::size_t i = 0; i + 1 < nText; ++i)
    {
        const unsigned char c = static_cast<unsigned char>(strText[i]);
        if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC))
        {
            bValidTrails = bValidTrails && static_cast<unsigned char>(strText[i + 1]) >= 0x40;
            ++i;
        }
    }
    const char* pLastEsc = std::strrchr(out.data(), 0x1B);
    if (bValidTrails && pLastEsc != nullptr && std::strncmp(pLastEsc, "\x1B(B", 3) != 0)
        std::abort();
    return 0;
}
