// BufferedSocket.h - the connection of one send operation: a socket that, during the message data,
// runs what is sent through the SMTP transparency filter and gathers it into large writes, so a
// message with a big attachment does not cost one system call per line. The bytes on the wire are
// the same as unbuffered. Outside the data phase every send goes straight out.
#pragma once
#include "mail/Socket.h"
#include "mail/TraceSink.h"
#include "mail/WireFilter.h"

#include <string>

class CBufferedSocket : public ISocket
{
  public:
    explicit CBufferedSocket(ISocket& socket);

    // From now on sends are filtered and buffered (the DATA command was accepted).
    void BeginData();
    // Completes a pending line end; later sends (the end-of-data line) are buffered unfiltered.
    void EndData();
    // Writes out what is buffered. False when that fails or an earlier write failed: the message
    // data did not reach the server whole.
    bool Flush();
    // Flush(), then every later send goes straight out again.
    bool FinishData();
    bool DataFailed() const { return m_bFailed; }

    // Why the last step failed, for the user: the last line the server sent since the last
    // command (CR LF stripped), else that it closed the connection, else the socket's error.
    std::string FailureDetail() const;
    // Whether a socket was ever created through this connection.
    bool Used() const { return m_bUsed; }

    // Everything sent and received is also reported to pTrace (nullptr: nowhere).
    void SetTrace(ITraceSink* pTrace) { m_pTrace = pTrace; }
    // Sends a line that carries a secret (a password, an authentication exchange): the trace
    // shows its first nShown bytes and masks the rest. Otherwise as Send.
    int SendSecret(const char* pData, int nLength, int nShown);

    bool Create() override;
    bool Connect(const std::string& strHost, int nPort) override;
    // In the data phase: returns nLength once the bytes are buffered, -1 after a failed write.
    int Send(const char* pData, int nLength) override;
    // Sends whole lines that need nothing of the transparency filter: each ends in CR LF, none
    // begins with "." and none holds another CR or LF (base64 lines). In the data phase, at a line
    // start, they are written out as they stand instead of being filtered and copied; otherwise
    // as Send. Returns nLength, or -1 after a failed write.
    int SendLines(const char* pData, int nLength);
    // Both flush first: a reply is only awaited once everything sent is on its way.
    void BeginReply() override;
    int Receive(char* pBuffer, int nMaximum) override;
    // Drops what is buffered.
    void Close() override;
    int GetLastError() const override { return m_socket.GetLastError(); }

  private:
    enum class Mode
    {
        direct,
        data,
        dataEnd,
    };
    void ResetState();
    // Writes pData to the socket in pieces; false (and the data phase failed) when one fails.
    bool WriteAll(const char* pData, std::size_t nLength);
    void Received(const char* pData, int nCount);

    ISocket& m_socket;
    CWireFilter m_filter;
    std::string m_strBuffer;
    Mode m_mode = Mode::direct;
    bool m_bFailed = false;
    std::string m_strReceived; // since the last command, bounded
    int m_nLastReceive = 1;    // what the last receive returned; 1 before any
    ITraceSink* m_pTrace = nullptr;
    bool m_bSecret = false;      // the send in progress carries a secret
    int m_nSecretShown = 0;      // how much of it the trace may show
    std::size_t m_nDataSent = 0; // message data on the wire since BeginData
    bool m_bOpen = false;        // connected, for the trace's record of the close
    bool m_bUsed = false;
};
