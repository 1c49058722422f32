// TlsSocket.h - TLS over another socket (OpenSSL 3 on Linux, Schannel on Windows): plain until
// Handshake(), encrypted after it, so the same object serves implicit TLS (handshake right after
// connecting) and STARTTLS/STLS (handshake on a connection that has already talked). The TLS
// records travel through the wrapped socket's own Send and Receive, so its time-outs hold for every
// step of the handshake: the whole handshake is one reply, and records the TLS layer writes on its
// own while it reads (a KeyUpdate answer, an alert) never extend a reply's deadline. Renegotiation
// is refused. TLS 1.2 at least; SNI for host names; the chain is verified against the system's
// trusted store plus an optional PEM file, and the host name or IP address is checked exactly as
// given against the certificate's subject alternative names (a certificate that names its host only
// in the subject's CN is refused).
#pragma once
#include "mail/Socket.h"

#include <memory>
#include <string>

// Why a handshake failed (CTlsSocket::Failure).
enum class TlsFailure
{
    none,
    caFile,      // the extra CA file could not be read
    handshake,   // no TLS session: the peer does not speak TLS 1.2+, closed or timed out
    certificate, // the chain does not lead to a trusted certificate (or has expired ...)
    hostName,    // the certificate is valid but names another host
};

class CTlsSocket : public ISocket
{
  public:
    // socket stays owned by the caller and must outlive this object. strCaFile (a path as the OS
    // takes it) names extra trusted certificates; empty for none.
    CTlsSocket(ISocket& socket, std::string strCaFile);
    ~CTlsSocket() override;
    CTlsSocket(const CTlsSocket&) = delete;
    CTlsSocket& operator=(const CTlsSocket&) = delete;

    // Starts TLS on the open connection and verifies the server as strHost (a name or an IP
    // address, as the user typed it). False on failure, with Failure() telling why; the
    // connection should then be closed.
    bool Handshake(const std::string& strHost);
    bool IsEncrypted() const { return m_pImpl != nullptr && m_bEstablished; }
    TlsFailure Failure() const { return m_failure; }
    // For a certificate that did not verify, a short English reason ("certificate has expired",
    // "self-signed certificate in certificate chain" ...); else empty.
    const std::string& VerifyReason() const { return m_strVerifyReason; }

    // Create, Connect and Close end any TLS session: a new connection starts in the clear.
    bool Create() override;
    bool Connect(const std::string& strHost, int nPort) override;
    int Send(const char* pData, int nLength) override;
    void BeginReply() override { m_socket.BeginReply(); }
    int Receive(char* pBuffer, int nMaximum) override;
    void Close() override;
    int GetLastError() const override;

  private:
    struct Impl; // the session of the platform's TLS library (PosixTlsSocket.cpp, WinTlsSocket.cpp)

    void EndSession();

    ISocket& m_socket;
    std::string m_strCaFile;
    std::unique_ptr<Impl> m_pImpl; // null without a session
    bool m_bEstablished = false;
    TlsFailure m_failure = TlsFailure::none;
    std::string m_strVerifyReason;
    int m_nLastError = 0; // a failure of the TLS layer itself; else the wrapped socket's
};
