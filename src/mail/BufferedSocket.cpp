// BufferedSocket.cpp - the filtered, buffered data phase of a send operation's connection.
#include "mail/BufferedSocket.h"

namespace
{
constexpr std::size_t kFlushAt = 64 * 1024;
} // namespace

CBufferedSocket::CBufferedSocket(ISocket& socket) : m_socket(socket)
{
    m_strBuffer.reserve(2 * kFlushAt + 4096);
}

void CBufferedSocket::ResetState()
{
    m_strBuffer.clear();
    m_filter.Reset();
    m_mode = Mode::direct;
    m_bFailed = false;
}

void CBufferedSocket::BeginData()
{
    m_filter.Reset();
    m_mode = Mode::data;
}

void CBufferedSocket::EndData()
{
    if (m_mode == Mode::data)
        m_filter.Finish(m_strBuffer);
    m_mode = Mode::dataEnd;
}

bool CBufferedSocket::Flush()
{
    if (m_bFailed)
        return false;
    std::size_t nDone = 0;
    while (nDone < m_strBuffer.size())
    {
        const std::size_t nLeft = m_strBuffer.size() - nDone;
        const int nPiece = nLeft > kFlushAt ? static_cast<int>(kFlushAt) : static_cast<int>(nLeft);
        if (m_socket.Send(m_strBuffer.data() + nDone, nPiece) != nPiece)
        {
            m_bFailed = true;
            m_strBuffer.clear();
            return false;
        }
        nDone += static_cast<std::size_t>(nPiece);
    }
    m_strBuffer.clear();
    return true;
}

bool CBufferedSocket::FinishData()
{
    const bool bFlushed = Flush();
    m_mode = Mode::direct;
    return bFlushed;
}

bool CBufferedSocket::Create()
{
    ResetState();
    return m_socket.Create();
}

bool CBufferedSocket::Connect(const std::string& strHost, int nPort)
{
    ResetState();
    return m_socket.Connect(strHost, nPort);
}

int CBufferedSocket::Send(const char* pData, int nLength)
{
    if (m_mode == Mode::direct)
    {
        if (!m_strBuffer.empty() && !Flush())
            return -1;
        return m_socket.Send(pData, nLength);
    }
    if (m_bFailed)
        return -1;
    if (nLength <= 0)
        return nLength < 0 ? -1 : 0;
    if (m_mode == Mode::data)
        m_filter.Filter(pData, static_cast<std::size_t>(nLength), m_strBuffer);
    else
        m_strBuffer.append(pData, static_cast<std::size_t>(nLength));
    if (m_strBuffer.size() >= kFlushAt && !Flush())
        return -1;
    return nLength;
}

int CBufferedSocket::Receive(char* pBuffer, int nMaximum)
{
    if (!m_strBuffer.empty() && !Flush())
        return -1;
    return m_socket.Receive(pBuffer, nMaximum);
}

void CBufferedSocket::Close()
{
    ResetState();
    m_socket.Close();
}
