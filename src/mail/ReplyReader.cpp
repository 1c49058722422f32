// ReplyReader.cpp - whole lines and whole SMTP replies from a socket.
#include "mail/ReplyReader.h"

namespace
{
constexpr int kReceivePiece = 4096;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
} // namespace

bool CReplyReader::ReadLine(std::string& strLine)
{
    m_socket.BeginReply();
    return ReadLineOfReply(strLine);
}

bool CReplyReader::ReadLineOfReply(std::string& strLine)
{
    for (;;)
    {
        const std::size_t nEnd = m_strPending.find('\n');
        if (nEnd != std::string::npos)
        {
            if (nEnd > MAX_LINE)
                return false;
            std::size_t nLength = nEnd;
            if (nLength > 0 && m_strPending[nLength - 1] == '\r')
                --nLength;
            strLine.assign(m_strPending, 0, nLength);
            m_strPending.erase(0, nEnd + 1);
            return true;
        }
        if (m_strPending.size() > MAX_LINE)
            return false;
        char piece[kReceivePiece];
        const int nCount = m_socket.Receive(piece, sizeof(piece));
        if (nCount <= 0)
            return false;
        m_strPending.append(piece, static_cast<std::size_t>(nCount));
    }
}

int CReplyReader::ReadSmtpReply(std::vector<std::string>& lines)
{
    lines.clear();
    int nCode = -1;
    std::string strLine;
    m_socket.BeginReply(); // the lines of one reply share one deadline
    while (lines.size() < MAX_LINES && ReadLineOfReply(strLine))
    {
        if (strLine.size() < 3 || !IsDigit(strLine[0]) || !IsDigit(strLine[1]) ||
            !IsDigit(strLine[2]) || (strLine.size() > 3 && strLine[3] != ' ' && strLine[3] != '-'))
            return -1;
        const int nLineCode =
            (strLine[0] - '0') * 100 + (strLine[1] - '0') * 10 + (strLine[2] - '0');
        if (nCode != -1 && nLineCode != nCode)
            return -1;
        nCode = nLineCode;
        lines.push_back(strLine.size() > 4 ? strLine.substr(4) : std::string());
        if (strLine.size() == 3 || strLine[3] == ' ')
            return nCode;
    }
    return -1;
}
