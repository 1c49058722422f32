// WireFilter.cpp - SMTP transparency for the message data.
#include "mail/WireFilter.h"

#include <cstring>

namespace
{
// The position of the first CR or LF in [nFrom, nLength), or nLength. memchr is vectorised, so two
// calls beat one byte loop for the long lines of the message data.
std::size_t LineEnd(const char* pData, std::size_t nFrom, std::size_t nLength)
{
    const void* pLf = std::memchr(pData + nFrom, '\n', nLength - nFrom);
    const std::size_t nLf = pLf != nullptr ? static_cast<const char*>(pLf) - pData : nLength;
    const void* pCr = std::memchr(pData + nFrom, '\r', nLf - nFrom);
    return pCr != nullptr ? static_cast<std::size_t>(static_cast<const char*>(pCr) - pData) : nLf;
}
} // namespace

void CWireFilter::Filter(const char* pData, std::size_t nLength, std::string& strOut)
{
    std::size_t i = 0;
    while (i < nLength)
    {
        const char c = pData[i];
        if (m_bAfterCr)
        {
            m_bAfterCr = false;
            strOut.push_back('\n'); // the LF of CR LF, or the LF a lone CR lacked
            m_bLineStart = true;
            if (c == '\n')
            {
                ++i;
                continue;
            }
        }
        if (c == '\r')
        {
            strOut.push_back('\r');
            m_bAfterCr = true;
            ++i;
            continue;
        }
        if (c == '\n')
        {
            strOut.append("\r\n", 2);
            m_bLineStart = true;
            ++i;
            continue;
        }
        if (m_bLineStart && c == '.')
            strOut.push_back('.');
        m_bLineStart = false;
        // Copy the rest of the line in one piece.
        const std::size_t nEnd = LineEnd(pData, i + 1, nLength);
        strOut.append(pData + i, nEnd - i);
        i = nEnd;
    }
}

void CWireFilter::Finish(std::string& strOut)
{
    if (m_bAfterCr)
        strOut.push_back('\n');
    m_bAfterCr = false;
    m_bLineStart = true;
}

void CWireFilter::Reset()
{
    m_bLineStart = true;
    m_bAfterCr = false;
}
