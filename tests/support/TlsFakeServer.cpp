// TlsFakeServer.cpp - the loopback TLS server, its certificate made with OpenSSL at start.
#include "support/TlsFakeServer.h"

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
#include <sys/socket.h>
#include <unistd.h>

namespace
{
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

// A self-signed certificate for localhost that is its own trust anchor.
X509* MakeCertificate(EVP_PKEY* pKey, const TlsFakeCertificate& certificate,
                      const char* pszCommonName = "localhost")
{
    X509* pCert = X509_new();
    X509_set_version(pCert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(pCert), 1);
    X509_gmtime_adj(X509_getm_notBefore(pCert), certificate.bExpired ? -2 * 86400 : -3600);
    X509_gmtime_adj(X509_getm_notAfter(pCert), certificate.bExpired ? -86400 : 86400);
    X509_NAME* pName = X509_get_subject_name(pCert);
    X509_NAME_add_entry_by_txt(pName, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(pszCommonName), -1, -1, 0);
    X509_set_issuer_name(pCert, pName);
    X509_set_pubkey(pCert, pKey);
    AddExtension(pCert, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(pCert, NID_key_usage, "critical,digitalSignature,keyCertSign");
    if (certificate.pszSan != nullptr)
        AddExtension(pCert, NID_subject_alt_name, certificate.pszSan);
    X509_sign(pCert, pKey, EVP_sha256());
    return pCert;
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
    EVP_PKEY* pKey = EVP_EC_gen("P-256");
    X509* pCert = pKey != nullptr ? MakeCertificate(pKey, certificate) : nullptr;
    EVP_PKEY* pOtherKey = certificate.bUntrusted ? EVP_EC_gen("P-256") : nullptr;
    X509* pOther = pOtherKey != nullptr
                       ? MakeCertificate(pOtherKey, TlsFakeCertificate{}, "Tarvell other CA")
                       : nullptr;
    std::FILE* pFile = std::fopen(m_strCaFile.c_str(), "w");
    if (pCert == nullptr || pFile == nullptr || (certificate.bUntrusted && pOther == nullptr))
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

    m_nListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof(address);
    if (::bind(m_nListen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_nListen, 4) != 0 ||
        ::getsockname(m_nListen, reinterpret_cast<sockaddr*>(&address), &nLength) != 0)
        throw std::runtime_error("fake server listen");
    m_nPort = ntohs(address.sin_port);
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
    const bool bGreet = m_mode == TlsFakeMode::greet || m_mode == TlsFakeMode::startTls;
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
