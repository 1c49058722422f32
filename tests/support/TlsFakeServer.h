// TlsFakeServer.h - a TLS server on loopback for what real servers will not do: a certificate
// made in memory (naming the host in a DNS subject alternative name, or only in the subject's
// CN), and servers that, instead of a greeting, keep the client busy with TLS records of their
// own: a TLS 1.3 KeyUpdate asking for an update in return, or a TLS 1.2 renegotiation request.
// Also a server that does not speak TLS at all, and one that starts it after a STARTTLS.
#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

enum class TlsFakeMode
{
    greet,              // "220 fake" after the handshake, then echoes until the client closes
    keyUpdateFlood,     // TLS 1.3: KeyUpdate(update_requested) every kFloodIntervalMs
    renegotiationFlood, // TLS 1.2: a HelloRequest every kFloodIntervalMs
    startTls,           // "220 ready" in the clear, "220 go" after a STARTTLS line, then greet
    plain,              // no TLS: "220 plain", then reads until the client closes
    oldTls,             // greet, but speaking TLS 1.1 at most
};

// The server's certificate.
struct TlsFakeCertificate
{
    const char* pszSan = "DNS:localhost"; // the subjectAltName value; nullptr: only CN=localhost
    bool bExpired = false;                // valid until yesterday
    bool bUntrusted = false;              // CaFile holds an unrelated CA instead
    bool bIssuedByCa = false;             // signed by a CA that CaFile holds, not self-signed
};

class CTlsFakeServer
{
  public:
    static constexpr int kFloodIntervalMs = 500;

    // Listens on 127.0.0.1 at an ephemeral port and serves one connection. bSanCertificate:
    // the certificate names "localhost" in a DNS SAN, else only as CN=localhost.
    CTlsFakeServer(TlsFakeMode mode, bool bSanCertificate, const std::string& strFolder);
    CTlsFakeServer(TlsFakeMode mode, const TlsFakeCertificate& certificate,
                   const std::string& strFolder);
    ~CTlsFakeServer(); // stops serving and waits for the thread
    CTlsFakeServer(const CTlsFakeServer&) = delete;
    CTlsFakeServer& operator=(const CTlsFakeServer&) = delete;

    int Port() const { return m_nPort; }
    // The PEM file of the server's self-signed certificate, for CaFile.
    const std::string& CaFile() const { return m_strCaFile; }
    // How many KeyUpdates or HelloRequests went out.
    int Floods() const { return m_nFloods; }
    // A renegotiation the client started after a HelloRequest completed.
    bool Renegotiated() const { return m_bRenegotiated; }
    // What the client sent outside TLS (plain and startTls) so far.
    std::string ClearText() const;

  private:
    void Serve();
    bool ReadClear(int fd, bool bLine);

    TlsFakeMode m_mode;
    int m_nListen = -1;
    int m_nPort = 0;
    std::string m_strCaFile;
    struct ssl_ctx_st* m_pCtx = nullptr;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nFloods{0};
    std::atomic<bool> m_bRenegotiated{false};
    mutable std::mutex m_mutex;
    std::string m_strClearText; // under m_mutex
    std::thread m_thread;
};

// Implicit TLS in front of a plain server (the scripted CFakeMailServer): each connection's
// handshake is taken with a certificate naming localhost and 127.0.0.1, then its bytes go both
// ways to a new connection to the server, one client connection at a time. So the server's
// script and transcript are those of the conversation inside TLS.
class CTlsFront
{
  public:
    CTlsFront(int nServerPort, const std::string& strFolder);
    ~CTlsFront(); // stops passing and waits for the thread
    CTlsFront(const CTlsFront&) = delete;
    CTlsFront& operator=(const CTlsFront&) = delete;

    std::string HostPort() const { return "127.0.0.1:" + std::to_string(m_nPort); }
    // The PEM file of the front's self-signed certificate, for CaFile.
    const std::string& CaFile() const { return m_strCaFile; }

  private:
    void Serve();
    void Pass(int fdClient);

    int m_nServerPort;
    int m_nListen = -1;
    int m_nPort = 0;
    std::string m_strCaFile;
    struct ssl_ctx_st* m_pCtx = nullptr;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
