// FuzzHeaderPhrase.cpp - the header phrase encoder and the attachment name lines on any bytes:
// never a crash, every line ends in CR LF, none passes 998 bytes, and nothing of 8 bits.
#include "mail/AttachmentHeaders.h"
#include "mail/HeaderPhrase.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{
void Check(const std::string& strLines)
{
    if (strLines.size() < 2 || strLines.compare(strLines.size() - 2, 2, "\r\n") != 0)
        std::abort();
    std::size_t nAt = 0;
    for (std::size_t nEnd; (nEnd = strLines.find("\r\n", nAt)) != std::string::npos; nAt = nEnd + 2)
        if (nEnd - nAt > 998)
            std::abort();
    for (const char c : strLines)
        if (static_cast<unsigned char>(c) >= 0x80)
            std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 1 || nSize > 300)
        return 0;
    const MailCharset charset = (pData[0] & 1) != 0 ? MailCharset::utf8 : MailCharset::iso2022jp;
    // The fields a header value comes from end at the first NUL and hold no line break.
    std::string strValue(reinterpret_cast<const char*>(pData + 1), nSize - 1);
    strValue = strValue.c_str();
    for (char& c : strValue)
        if (c == '\r' || c == '\n')
            c = ' ';
    Check(UnstructuredHeaderLine("Subject", strValue, charset));
    Check(AddressHeaderLine("From", strValue, "a@example.jp", charset));
    std::array<std::string, 2> lines;
    if (FormatAttachmentHeaderLines(("/d/" + strValue).c_str(), lines, charset))
    {
        Check(lines[0]);
        Check(lines[1]);
    }
    return 0;
}
