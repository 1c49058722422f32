// BufferedSocket.cpp - the filtered, buffered data phase of a send operation's connection.
#include "mail/BufferedSocket.h"

#include "mail/LineTransport.h"

#include <algorithm>

namespace
{
constexpr std::size_t kFlushAt = std::size_t{64} * 1024;
constexpr std::size_t kMaxReceivedKept = 4096;
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
    m_strReceived.clear();
    m_nLastReceive = 1;
}

void CBufferedSocket::Received(const char* pData, int nCount)
{
    m_nLastReceive = nCount;
    if (nCount > 0 && m_strReceived.size() < kMaxReceivedKept)
        m_strReceived.append(pData, std::min<std::size_t>(static_cast<std::size_t>(nCount),
                                                          kMaxReceivedKept - m_strReceived.size()));
}

std::string CBufferedSocket::FailureDetail() const
{
    std::string strText = m_strReceived.substr(0, m_strReceived.find('\0'));
    while (!strText.empty() && (strText.back() == '\n' || strText.back() == '\r'))
        strText.pop_back();
    if (!strText.empty())
    {
        const std::size_t nLineStart = strText.find_last_of("\r\n");
        return nLineStart == std::string::npos ? strText : strText.substr(nLineStart + 1);
    }
    if (m_nLastReceive == 0)
        return "サーバーが接続を閉じました";
    if (GetLastError() != 0)
        return SocketErrorText(GetLastError());
    return "応答がありません";
}

void CBufferedSocket::BeginData()
{
    m_nDataSent = 0;
    m_filter.Reset();
    m_mode = Mode::data;
}

void CBufferedSocket::EndData()
{
    if (m_mode == Mode::data)
        m_filter.Finish(m_strBuffer);
    m_mode = Mode::dataEnd;
}

bool CBufferedSocket::WriteAll(const char* pData, std::size_t nLength)
{
    std::size_t nDone = 0;
    while (nDone < nLength)
    {
        const std::size_t nLeft = nLength - nDone;
        const int nPiece = nLeft > kFlushAt ? static_cast<int>(kFlushAt) : static_cast<int>(nLeft);
        if (m_socket.Send(pData + nDone, nPiece) != nPiece)
        {
            m_bFailed = true;
            m_strBuffer.clear();
            return false;
        }
        nDone += static_cast<std::size_t>(nPiece);
        m_nDataSent += static_cast<std::size_t>(nPiece);
    }
    return true;
}

bool CBufferedSocket::Flush()
{
    if (m_bFailed)
        return false;
    if (!WriteAll(m_strBuffer.data(), m_strBuffer.size()))
        return false;
    m_strBuffer.clear();
    return true;
}

bool CBufferedSocket::FinishData()
{
    const bool bFlushed = Flush();
    if (m_pTrace != nullptr)
        m_pTrace->SentData(m_nDataSent);
    m_mode = Mode::direct;
    return bFlushed;
}

bool CBufferedSocket::Create()
{
    ResetState();
    m_bUsed = true;
    return m_socket.Create();
}

bool CBufferedSocket::Connect(const std::string& strHost, int nPort)
{
    ResetState();
    m_bOpen = m_socket.Connect(strHost, nPort);
    if (m_pTrace != nullptr)
        m_pTrace->Connected(strHost, nPort, m_bOpen);
    return m_bOpen;
}

int CBufferedSocket::SendSecret(const char* pData, int nLength, int nShown)
{
    m_bSecret = true;
    m_nSecretShown = nShown;
    const int nSent = Send(pData, nLength);
    m_bSecret = false;
    return nSent;
}

int CBufferedSocket::Send(const char* pData, int nLength)
{
    m_strReceived.clear(); // a new command: what came before answered the last one
    m_nLastReceive = 1;
    if (m_mode == Mode::direct)
    {
        if (!m_strBuffer.empty() && !Flush())
            return -1;
        if (m_pTrace != nullptr && nLength > 0)
        {
            const std::string_view bytes(pData, static_cast<std::size_t>(nLength));
            if (!m_bSecret)
                m_pTrace->Sent(bytes);
            else
            {
                const std::size_t nShown =
                    std::min(bytes.size(), static_cast<std::size_t>(std::max(m_nSecretShown, 0)));
                m_pTrace->SentSecret(bytes.substr(0, nShown), bytes.size() - nShown);
            }
        }
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

int CBufferedSocket::SendLines(const char* pData, int nLength)
{
    if (m_mode != Mode::data || !m_filter.AtLineStart() || nLength <= 0)
        return Send(pData, nLength);
    m_strReceived.clear();
    m_nLastReceive = 1;
    // What is buffered goes first; the lines themselves are written from where they are.
    if (!Flush() || !WriteAll(pData, static_cast<std::size_t>(nLength)))
        return -1;
    return nLength;
}

void CBufferedSocket::BeginReply()
{
    // What is buffered goes out first, so its sending does not eat into the reply's time. A
    // failed write is reported by the Receive that follows.
    if (!m_strBuffer.empty())
        Flush();
    m_socket.BeginReply();
}

int CBufferedSocket::Receive(char* pBuffer, int nMaximum)
{
    if (!m_strBuffer.empty() && !Flush())
        return -1;
    const int nCount = m_socket.Receive(pBuffer, nMaximum);
    Received(pBuffer, nCount);
    if (m_pTrace != nullptr && nCount > 0)
        m_pTrace->Received(std::string_view(pBuffer, static_cast<std::size_t>(nCount)));
    return nCount;
}

void CBufferedSocket::Close()
{
    ResetState();
    m_socket.Close();
    if (m_bOpen && m_pTrace != nullptr)
        m_pTrace->Closed();
    m_bOpen = false;
}
