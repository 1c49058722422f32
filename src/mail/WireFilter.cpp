// WireFilter.cpp - SMTP transparency for the message data.
#include "mail/WireFilter.h"

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
        std::size_t nEnd = i + 1;
        while (nEnd < nLength && pData[nEnd] != '\r' && pData[nEnd] != '\n')
            ++nEnd;
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
