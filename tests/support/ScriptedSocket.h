// ScriptedSocket.h - a socket that follows a script, for protocol tests: each scripted piece is
// exactly what one Receive() returns, so every case that depends on how bytes arrive is exact.
// One script per connection (each Connect() starts the next one); every byte sent is recorded.
#pragma once
#include "mail/Socket.h"

#include <deque>
#include <string>
#include <vector>

class CScriptedSocket : public ISocket
{
  public:
    // Script building: the steps of the connection most recently begun with NextConnection().
    CScriptedSocket& NextConnection();
    CScriptedSocket& Piece(
        std::string strBytes);            // one Receive() result (at most the maximum asked)
    CScriptedSocket& Fail(int nWsaError); // one Receive() fails with this code
    CScriptedSocket& Closed();            // one Receive() reports the peer closed
    // Sends on this connection accept only nBytes more in all; a send beyond them fails whole
    // (-1, NET_ECONNRESET). Default: unlimited.
    CScriptedSocket& SendLimit(std::size_t nBytes);
    // Connect() to this connection fails.
    CScriptedSocket& RefuseConnect();

    bool m_bCreateFails = false;

    // What happened: one transcript of sent bytes per connection, "host:port" of every Connect().
    std::vector<std::string> m_sent;
    std::vector<std::string> m_connects;
    int m_nCreates = 0;
    int m_nCloses = 0; // Close() calls on an open socket
    int m_nSendCalls = 0;
    int m_nReplies = 0; // BeginReply() calls
    bool m_bOpen = false;

    // True when every scripted receive step of every connection has been used.
    bool ScriptDone() const;

    bool Create() override;
    bool Connect(const std::string& strHost, int nPort) override;
    int Send(const char* pData, int nLength) override;
    void BeginReply() override { ++m_nReplies; }
    int Receive(char* pBuffer, int nMaximum) override;
    void Close() override;
    int GetLastError() const override { return m_nLastError; }

  private:
    struct Step
    {
        enum Kind
        {
            piece,
            fail,
            closed,
        } kind;
        std::string strBytes;
        int nError = 0;
    };
    struct Connection
    {
        std::deque<Step> steps;
        std::size_t nSendLimit = static_cast<std::size_t>(-1);
        bool bRefuse = false;
    };
    Connection& Building();

    std::vector<Connection> m_connections;
    int m_nCurrent = -1;
    int m_nLastError = 0;
};

// Hands out sockets that share one script (a send operation makes one socket).
class CScriptedSocketFactory : public ISocketFactory
{
  public:
    explicit CScriptedSocketFactory(CScriptedSocket& socket) : m_socket(socket) {}
    std::unique_ptr<ISocket> CreateSocket() override;
    int m_nSockets = 0;

  private:
    CScriptedSocket& m_socket;
};
