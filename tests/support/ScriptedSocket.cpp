// ScriptedSocket.cpp - a socket that follows a script, for protocol tests.
#include "support/ScriptedSocket.h"

#include <cstring>
#include <stdexcept>

namespace
{
// Forwards to the shared scripted socket, so the test keeps it after the session drops its own.
class CScriptedSocketRef : public ISocket
{
  public:
    explicit CScriptedSocketRef(CScriptedSocket& socket) : m_socket(socket) {}
    ~CScriptedSocketRef() override { m_socket.Close(); }
    bool Create() override { return m_socket.Create(); }
    bool Connect(const std::string& strHost, int nPort) override
    {
        return m_socket.Connect(strHost, nPort);
    }
    int Send(const char* pData, int nLength) override { return m_socket.Send(pData, nLength); }
    void BeginReply() override { m_socket.BeginReply(); }
    int Receive(char* pBuffer, int nMaximum) override
    {
        return m_socket.Receive(pBuffer, nMaximum);
    }
    void Close() override { m_socket.Close(); }
    int GetLastError() const override { return m_socket.GetLastError(); }

  private:
    CScriptedSocket& m_socket;
};
} // namespace

CScriptedSocket::Connection& CScriptedSocket::Building()
{
    if (m_connections.empty())
        m_connections.emplace_back();
    return m_connections.back();
}

CScriptedSocket& CScriptedSocket::NextConnection()
{
    m_connections.emplace_back();
    return *this;
}

CScriptedSocket& CScriptedSocket::Piece(std::string strBytes)
{
    Building().steps.push_back({Step::piece, std::move(strBytes), 0});
    return *this;
}

CScriptedSocket& CScriptedSocket::Fail(int nWsaError)
{
    Building().steps.push_back({Step::fail, {}, nWsaError});
    return *this;
}

CScriptedSocket& CScriptedSocket::Closed()
{
    Building().steps.push_back({Step::closed, {}, 0});
    return *this;
}

CScriptedSocket& CScriptedSocket::SendLimit(std::size_t nBytes)
{
    Building().nSendLimit = nBytes;
    return *this;
}

CScriptedSocket& CScriptedSocket::RefuseConnect()
{
    Building().bRefuse = true;
    return *this;
}

bool CScriptedSocket::ScriptDone() const
{
    for (const Connection& connection : m_connections)
        if (!connection.steps.empty())
            return false;
    return true;
}

bool CScriptedSocket::Create()
{
    ++m_nCreates;
    if (m_bCreateFails)
        return false;
    m_bOpen = true;
    return true;
}

bool CScriptedSocket::Connect(const std::string& strHost, int nPort)
{
    m_connects.push_back(strHost + ":" + std::to_string(nPort));
    m_sent.emplace_back();
    ++m_nCurrent;
    if (m_nCurrent >= static_cast<int>(m_connections.size()))
        m_connections.emplace_back();
    if (m_connections[static_cast<std::size_t>(m_nCurrent)].bRefuse)
    {
        m_nLastError = NET_ECONNREFUSED;
        return false;
    }
    return true;
}

int CScriptedSocket::Send(const char* pData, int nLength)
{
    ++m_nSendCalls;
    if (m_nCurrent < 0 || !m_bOpen)
    {
        m_nLastError = NET_ENOTCONN;
        return -1;
    }
    Connection& connection = m_connections[static_cast<std::size_t>(m_nCurrent)];
    const std::size_t n = static_cast<std::size_t>(nLength);
    if (n > connection.nSendLimit)
    {
        connection.nSendLimit = 0;
        m_nLastError = NET_ECONNRESET;
        return -1;
    }
    connection.nSendLimit -= n;
    m_sent[static_cast<std::size_t>(m_nCurrent)].append(pData, n);
    return nLength;
}

int CScriptedSocket::Receive(char* pBuffer, int nMaximum)
{
    if (m_nCurrent < 0 || !m_bOpen)
    {
        m_nLastError = NET_ENOTCONN;
        return -1;
    }
    std::deque<Step>& steps = m_connections[static_cast<std::size_t>(m_nCurrent)].steps;
    if (steps.empty())
        return 0; // the script has ended: the peer closed
    Step step = steps.front();
    steps.pop_front();
    if (step.kind == Step::fail)
    {
        m_nLastError = step.nError;
        return -1;
    }
    if (step.kind == Step::closed)
        return 0;
    if (step.strBytes.size() > static_cast<std::size_t>(nMaximum))
        throw std::logic_error("scripted piece larger than the receive size");
    std::memcpy(pBuffer, step.strBytes.data(), step.strBytes.size());
    return static_cast<int>(step.strBytes.size());
}

void CScriptedSocket::Close()
{
    if (m_bOpen)
        ++m_nCloses;
    m_bOpen = false;
}

std::unique_ptr<ISocket> CScriptedSocketFactory::CreateSocket()
{
    ++m_nSockets;
    return std::make_unique<CScriptedSocketRef>(m_socket);
}
