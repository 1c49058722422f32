// FuzzSjisToJis.cpp - the converter on any bytes and any capacity: it never writes past
// capacity - 1 bytes, consumes no more than the text holds, keeps line breaks out of the kanji
// mode and ends in ASCII mode.
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
    // A lead byte pairs only with a valid second byte, so no byte converts to a NUL, no CR or LF
    // stands inside ESC $ B, and the output always ends in ASCII mode.
    bool bKanji = false;
    for (const char* p = out.data(); *p != '\0'; ++p)
    {
        if (*p == 0x1B && p[1] != '\0' && p[2] != '\0')
        {
            bKanji = p[1] == '$';
            p += 2;
        }
        else if (bKanji && (*p == '\r' || *p == '\n'))
            std::abort();
    }
    if (bKanji)
        std::abort();
    return 0;
}
