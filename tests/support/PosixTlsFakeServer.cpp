// PosixTlsFakeServer.cpp - the loopback TLS server, its certificate made with OpenSSL at start.
#include "support/TlsFakeServer.h"

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// A listening socket on 127.0.0.1 at a port the system picks, given in nPort.
int ListenOnLoopback(int& nPort, const char* pszWhat)
{
    const int nListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof(address);
    if (::bind(nListen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(nListen, 4) != 0 ||
        ::getsockname(nListen, reinterpret_cast<sockaddr*>(&address), &nLength) != 0)
    {
        ::close(nListen);
        throw std::runtime_error(pszWhat);
    }
    nPort = ntohs(address.sin_port);
    return nListen;
}

void AddExtension(X509* pCert, int nNid, const char* pszValue)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, pCert, pCert, nullptr, nullptr, 0);
    X509_EXTENSION* pExt = X509V3_EXT_conf_nid(nullptr, &ctx, nNid, pszValue);
    if (pExt == nullptr)
        throw std::runtime_error("certificate extension");
    X509_add_ext(pCert, pExt, -1);
    X509_EXTENSION_free(pExt);
}

// A certificate for localhost: self-signed and its own trust anchor, or, given an issuer, a
// server certificate that issuer signs.
X509* MakeCertificate(EVP_PKEY* pKey, const TlsFakeCertificate& certificate,
                      const char* pszCommonName = "localhost", X509* pIssuer = nullptr,
                      EVP_PKEY* pIssuerKey = nullptr)
{
    X509* pCert = X509_new();
    X509_set_version(pCert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(pCert), pIssuer != nullptr ? 2 : 1);
    X509_gmtime_adj(X509_getm_notBefore(pCert), certificate.bExpired ? -2 * 86400 : -3600);
    X509_gmtime_adj(X509_getm_notAfter(pCert), certificate.bExpired ? -86400 : 86400);
    X509_NAME* pName = X509_get_subject_name(pCert);
    X509_NAME_add_entry_by_txt(pName, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(pszCommonName), -1, -1, 0);
    X509_set_issuer_name(pCert, pIssuer != nullptr ? X509_get_subject_name(pIssuer) : pName);
    X509_set_pubkey(pCert, pKey);
    if (pIssuer != nullptr)
    {
        AddExtension(pCert, NID_basic_constraints, "critical,CA:FALSE");
        AddExtension(pCert, NID_key_usage, "critical,digitalSignature,keyEncipherment");
        AddExtension(pCert, NID_ext_key_usage, "serverAuth");
    }
    else
    {
        AddExtension(pCert, NID_basic_constraints, "critical,CA:TRUE");
        AddExtension(pCert, NID_key_usage, "critical,digitalSignature,keyCertSign");
    }
    if (certificate.pszSan != nullptr)
        AddExtension(pCert, NID_subject_alt_name, certificate.pszSan);
    X509_sign(pCert, pIssuerKey != nullptr ? pIssuerKey : pKey, EVP_sha256());
    return pCert;
}

// One of two RSA keys made once per program (RSA keys are slow to make; each server still has a
// certificate of its own). RSA, not EC: Wine's crypt32 rejects an ECDSA signature now and then
// (about one in fifty), which made the Schannel rows flaky. The caller frees its reference.
EVP_PKEY* SharedKey(int nWhich)
{
    static EVP_PKEY* const keys[2] = {EVP_RSA_gen(2048), EVP_RSA_gen(2048)};
    if (keys[nWhich] == nullptr || EVP_PKEY_up_ref(keys[nWhich]) != 1)
        return nullptr;
    return keys[nWhich];
}

// Waits up to nMs for the descriptor to be readable; false when it is not.
bool Readable(int fd, int nMs)
{
    pollfd pfd{fd, POLLIN, 0};
    return ::poll(&pfd, 1, nMs) > 0;
}

// Reads what the client sent without waiting, and with bEcho writes it back; false when the
// connection has ended.
bool ReadAvailable(SSL* pSsl, bool bEcho = false)
{
    char buffer[4096];
    for (;;)
    {
        const int n = SSL_read(pSsl, buffer, sizeof(buffer));
        if (n > 0 && bEcho)
            SSL_write(pSsl, buffer, n);
        if (n > 0)
            continue;
        const int nError = SSL_get_error(pSsl, n);
        ERR_clear_error();
        return nError == SSL_ERROR_WANT_READ || nError == SSL_ERROR_WANT_WRITE;
    }
}
} // namespace

CTlsFakeServer::CTlsFakeServer(TlsFakeMode mode, bool bSanCertificate, const std::string& strFolder)
    : CTlsFakeServer(mode,
                     bSanCertificate ? TlsFakeCertificate{} : TlsFakeCertificate{.pszSan = nullptr},
                     strFolder)
{
}

CTlsFakeServer::CTlsFakeServer(TlsFakeMode mode, const TlsFakeCertificate& certificate,
                               const std::string& strFolder)
    : m_mode(mode), m_strCaFile(strFolder + "/fake-server.pem")
{
    // pOther: the unrelated CA, or the CA that signs the server's certificate.
    EVP_PKEY* pKey = SharedKey(0);
    const bool bOther = certificate.bUntrusted || certificate.bIssuedByCa;
    EVP_PKEY* pOtherKey = bOther ? SharedKey(1) : nullptr;
    X509* pOther =
        pOtherKey != nullptr
            ? MakeCertificate(pOtherKey, TlsFakeCertificate{},
                              certificate.bIssuedByCa ? "Tarvell test CA" : "Tarvell other CA")
            : nullptr;
    X509* pCert = pKey == nullptr ? nullptr
                  : certificate.bIssuedByCa && pOther != nullptr
                      ? MakeCertificate(pKey, certificate, "localhost", pOther, pOtherKey)
                      : MakeCertificate(pKey, certificate);
    std::FILE* pFile = std::fopen(m_strCaFile.c_str(), "w");
    if (pCert == nullptr || pFile == nullptr || (bOther && pOther == nullptr))
        throw std::runtime_error("fake server certificate");
    PEM_write_X509(pFile, pOther != nullptr ? pOther : pCert);
    std::fclose(pFile);
    X509_free(pOther);
    EVP_PKEY_free(pOtherKey);

    m_pCtx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(m_pCtx, pCert);
    SSL_CTX_use_PrivateKey(m_pCtx, pKey);
    X509_free(pCert);
    EVP_PKEY_free(pKey);
    // The floods need their version; a greeting server takes what the client offers from 1.2 on.
    SSL_CTX_set_min_proto_version(m_pCtx, mode == TlsFakeMode::keyUpdateFlood ? TLS1_3_VERSION
                                                                              : TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(m_pCtx, mode == TlsFakeMode::renegotiationFlood ? TLS1_2_VERSION
                                                                                  : TLS1_3_VERSION);
    if (mode == TlsFakeMode::oldTls)
    {
        // OpenSSL 3 offers TLS 1.1 only at security level 0.
        SSL_CTX_set_min_proto_version(m_pCtx, TLS1_VERSION);
        SSL_CTX_set_max_proto_version(m_pCtx, TLS1_1_VERSION);
        SSL_CTX_set_cipher_list(m_pCtx, "DEFAULT@SECLEVEL=0");
    }

    m_nListen = ListenOnLoopback(m_nPort, "fake server listen");
    m_thread = std::thread([this] { Serve(); });
}

CTlsFakeServer::~CTlsFakeServer()
{
    m_bStop = true;
    m_thread.join();
    ::close(m_nListen);
    SSL_CTX_free(m_pCtx);
}

std::string CTlsFakeServer::ClearText() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strClearText;
}

// Reads in the clear until a line has ended (bLine), the client closes or the server stops;
// false when the connection has ended.
bool CTlsFakeServer::ReadClear(int fd, bool bLine)
{
    char buffer[4096];
    while (!m_bStop)
    {
        if (!Readable(fd, 50))
            continue;
        const ssize_t n = ::recv(fd, buffer, bLine ? 1 : sizeof(buffer), 0);
        if (n <= 0)
            return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strClearText.append(buffer, static_cast<std::size_t>(n));
        if (bLine && buffer[0] == '\n')
            return true;
    }
    return false;
}

void CTlsFakeServer::Serve()
{
    // OpenSSL writes with write(): a client that has given up and closed must cost the server an
    // EPIPE, not the test program a SIGPIPE. The signal is the writing thread's own, so blocking
    // it here is enough.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    while (!m_bStop && !Readable(m_nListen, 50))
    {
    }
    if (m_bStop)
        return;
    const int fd = ::accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (m_mode == TlsFakeMode::plain)
    {
        ::send(fd, "220 plain\r\n", 11, MSG_NOSIGNAL);
        ReadClear(fd, false);
        ::close(fd);
        return;
    }
    if (m_mode == TlsFakeMode::startTls)
    {
        ::send(fd, "220 ready\r\n", 11, MSG_NOSIGNAL);
        if (!ReadClear(fd, true) || ClearText() != "STARTTLS\r\n")
        {
            ::close(fd);
            return;
        }
        ::send(fd, "220 go\r\n", 8, MSG_NOSIGNAL);
    }
    SSL* pSsl = SSL_new(m_pCtx);
    SSL_set_fd(pSsl, fd);
    // The handshake blocks (the client drives it); afterwards the socket does not, so the
    // server can write its own records while the client's answers arrive.
    const bool bHandshake = SSL_accept(pSsl) == 1;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const bool bGreet = m_mode == TlsFakeMode::greet || m_mode == TlsFakeMode::startTls ||
                        m_mode == TlsFakeMode::oldTls;
    if (bHandshake && bGreet)
    {
        SSL_write(pSsl, "220 fake\r\n", 10);
        while (!m_bStop && (!Readable(fd, 50) || ReadAvailable(pSsl, true)))
        {
        }
    }
    while (bHandshake && !bGreet && !m_bStop)
    {
        if (m_mode == TlsFakeMode::keyUpdateFlood)
            SSL_key_update(pSsl, SSL_KEY_UPDATE_REQUESTED);
        else if (!SSL_renegotiate_pending(pSsl))
            SSL_renegotiate(pSsl);
        SSL_do_handshake(pSsl); // writes the request; the answer is read below
        ERR_clear_error();
        ++m_nFloods;
        bool bOpen = true;
        for (int nMs = 0; bOpen && nMs < kFloodIntervalMs && !m_bStop; nMs += 50)
            bOpen = !Readable(fd, 50) || ReadAvailable(pSsl);
        if (m_mode == TlsFakeMode::renegotiationFlood && SSL_renegotiate_pending(pSsl) == 0)
            m_bRenegotiated = true;
        if (!bOpen)
            break;
    }
    SSL_free(pSsl);
    ::close(fd);
}

CTlsFront::CTlsFront(int nServerPort, const std::string& strFolder)
    : m_nServerPort(nServerPort), m_strCaFile(strFolder + "/tls-front.pem")
{
    EVP_PKEY* pKey = SharedKey(0);
    X509* pCert =
        pKey == nullptr
            ? nullptr
            : MakeCertificate(pKey, TlsFakeCertificate{.pszSan = "DNS:localhost,IP:127.0.0.1"});
    std::FILE* pFile = std::fopen(m_strCaFile.c_str(), "w");
    if (pCert == nullptr || pFile == nullptr)
        throw std::runtime_error("TLS front certificate");
    PEM_write_X509(pFile, pCert);
    std::fclose(pFile);
    m_pCtx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(m_pCtx, pCert);
    SSL_CTX_use_PrivateKey(m_pCtx, pKey);
    SSL_CTX_set_min_proto_version(m_pCtx, TLS1_2_VERSION);
    X509_free(pCert);
    EVP_PKEY_free(pKey);
    m_nListen = ListenOnLoopback(m_nPort, "TLS front listen");
    m_thread = std::thread([this] { Serve(); });
}

CTlsFront::~CTlsFront()
{
    m_bStop = true;
    m_thread.join();
    ::close(m_nListen);
    SSL_CTX_free(m_pCtx);
}

void CTlsFront::Serve()
{
    sigset_t pipe; // as in CTlsFakeServer::Serve: a closed peer costs an EPIPE, not the program
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    while (!m_bStop)
    {
        if (!Readable(m_nListen, 50))
            continue;
        const int fd = ::accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0)
            Pass(fd);
    }
}

void CTlsFront::Pass(int fdClient)
{
    SSL* pSsl = SSL_new(m_pCtx);
    SSL_set_fd(pSsl, fdClient);
    const int fdServer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(m_nServerPort));
    bool bOpen = SSL_accept(pSsl) == 1 &&
                 ::connect(fdServer, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    char buffer[16384];
    while (bOpen && !m_bStop)
    {
        pollfd fds[2] = {{fdClient, POLLIN, 0}, {fdServer, POLLIN, 0}};
        if (SSL_pending(pSsl) == 0 && ::poll(fds, 2, 50) <= 0)
            continue;
        if (SSL_pending(pSsl) > 0 || (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
        {
            const int n = SSL_read(pSsl, buffer, sizeof(buffer));
            const int nError = n > 0 ? SSL_ERROR_NONE : SSL_get_error(pSsl, n);
            ERR_clear_error();
            if (n > 0)
                bOpen = ::send(fdServer, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) == n;
            else
                bOpen = nError == SSL_ERROR_WANT_READ || nError == SSL_ERROR_WANT_WRITE;
        }
        if (bOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
        {
            const ssize_t n = ::recv(fdServer, buffer, sizeof(buffer), 0);
            bOpen = n > 0 && SSL_write(pSsl, buffer, static_cast<int>(n)) == n;
        }
    }
    SSL_shutdown(pSsl);
    SSL_free(pSsl);
    ::close(fdServer);
    ::close(fdClient);
}
