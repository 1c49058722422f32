// PosixTlsSocket.cpp - OpenSSL 3 client sessions over the wrapped socket, through a BIO whose reads
// and writes are that socket's Receive and Send.
#include "mail/TlsSocket.h"

#include <arpa/inet.h>
#include <filesystem>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace
{
ISocket& SocketOf(BIO* pBio)
{
    return *static_cast<ISocket*>(BIO_get_data(pBio));
}

int BioWrite(BIO* pBio, const char* pData, int nLength)
{
    BIO_clear_retry_flags(pBio);
    return SocketOf(pBio).Send(pData, nLength);
}

int BioRead(BIO* pBio, char* pBuffer, int nMaximum)
{
    BIO_clear_retry_flags(pBio);
    return SocketOf(pBio).Receive(pBuffer, nMaximum); // 0: the peer closed
}

long BioCtrl(BIO*, int nCommand, long, void*)
{
    return nCommand == BIO_CTRL_FLUSH ? 1 : 0; // every write has already gone out
}

// One method for every session; it lives as long as the program.
BIO_METHOD* SocketBioMethod()
{
    static BIO_METHOD* const pMethod = [] {
        BIO_METHOD* p = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tarvell socket");
        BIO_meth_set_write(p, BioWrite);
        BIO_meth_set_read(p, BioRead);
        BIO_meth_set_ctrl(p, BioCtrl);
        return p;
    }();
    return pMethod;
}

bool IsIpAddress(const std::string& strHost)
{
    unsigned char address[16];
    return inet_pton(AF_INET, strHost.c_str(), address) == 1 ||
           inet_pton(AF_INET6, strHost.c_str(), address) == 1;
}
} // namespace

struct CTlsSocket::Impl
{
    SSL_CTX* pCtx = nullptr;
    SSL* pSsl = nullptr;

    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl()
    {
        if (pSsl != nullptr)
            SSL_free(pSsl); // frees the BIO too
        if (pCtx != nullptr)
            SSL_CTX_free(pCtx);
    }
};

CTlsSocket::CTlsSocket(ISocket& socket, std::string strCaFile)
    : m_socket(socket), m_strCaFile(std::move(strCaFile))
{
}

CTlsSocket::~CTlsSocket()
{
    EndSession();
}

void CTlsSocket::EndSession()
{
    m_pImpl.reset();
    m_bEstablished = false;
    ERR_clear_error();
}

bool CTlsSocket::Handshake(const std::string& strHost)
{
    EndSession();
    m_failure = TlsFailure::handshake;
    m_strVerifyReason.clear();
    m_pImpl = std::make_unique<Impl>();
    m_pImpl->pCtx = SSL_CTX_new(TLS_client_method());
    SSL_CTX* const pCtx = m_pImpl->pCtx;
    if (pCtx == nullptr)
    {
        EndSession();
        return false;
    }
    SSL_CTX_set_min_proto_version(pCtx, TLS1_2_VERSION);
    // Mail servers often drop the connection after QUIT without a close_notify. A server that
    // asks to renegotiate gets a refusal: a renegotiation could change the peer mid-session.
    SSL_CTX_set_options(pCtx, SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_verify(pCtx, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(pCtx);
    // Only a regular file is handed to OpenSSL: a FIFO would hold the send in its open.
    std::error_code error;
    if (!m_strCaFile.empty() &&
        (!std::filesystem::is_regular_file(m_strCaFile, error) ||
         SSL_CTX_load_verify_locations(pCtx, m_strCaFile.c_str(), nullptr) != 1))
    {
        m_failure = TlsFailure::caFile;
        EndSession();
        return false;
    }
    m_pImpl->pSsl = SSL_new(pCtx);
    SSL* const pSsl = m_pImpl->pSsl;
    BIO* pBio = pSsl != nullptr ? BIO_new(SocketBioMethod()) : nullptr;
    if (pBio == nullptr)
    {
        EndSession();
        return false;
    }
    BIO_set_data(pBio, &m_socket);
    BIO_set_init(pBio, 1);
    SSL_set_bio(pSsl, pBio, pBio);

    // The name is checked exactly as typed: no partial wildcards, an address only as an address,
    // and only against the subject alternative names (a CN is never taken as the host name).
    bool bNamed;
    if (IsIpAddress(strHost))
        bNamed = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(pSsl), strHost.c_str()) == 1;
    else
    {
        SSL_set_hostflags(pSsl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS |
                                    X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
        bNamed = SSL_set_tlsext_host_name(pSsl, strHost.c_str()) == 1 &&
                 SSL_set1_host(pSsl, strHost.c_str()) == 1;
    }
    if (!bNamed)
    {
        m_failure = TlsFailure::hostName;
        EndSession();
        return false;
    }

    m_socket.BeginReply(); // one deadline for the whole handshake
    if (SSL_connect(pSsl) != 1)
    {
        const long nVerify = SSL_get_verify_result(pSsl);
        if (nVerify == X509_V_ERR_HOSTNAME_MISMATCH || nVerify == X509_V_ERR_IP_ADDRESS_MISMATCH)
            m_failure = TlsFailure::hostName;
        else if (nVerify != X509_V_OK)
            m_failure = TlsFailure::certificate;
        if (nVerify != X509_V_OK)
            m_strVerifyReason = X509_verify_cert_error_string(nVerify);
        EndSession();
        return false;
    }
    m_bEstablished = true;
    m_failure = TlsFailure::none;
    return true;
}

int CTlsSocket::Send(const char* pData, int nLength)
{
    m_nLastError = 0;
    if (!IsEncrypted())
        return m_socket.Send(pData, nLength);
    if (nLength <= 0)
        return nLength < 0 ? -1 : 0;
    std::size_t nWritten = 0;
    if (SSL_write_ex(m_pImpl->pSsl, pData, static_cast<std::size_t>(nLength), &nWritten) != 1)
    {
        if (SSL_get_error(m_pImpl->pSsl, 0) != SSL_ERROR_SYSCALL)
            m_nLastError = NET_ECONNABORTED; // a TLS error, not one of the socket
        ERR_clear_error();
        return -1;
    }
    return static_cast<int>(nWritten);
}

int CTlsSocket::Receive(char* pBuffer, int nMaximum)
{
    m_nLastError = 0;
    if (!IsEncrypted())
        return m_socket.Receive(pBuffer, nMaximum);
    if (nMaximum <= 0)
        return 0;
    std::size_t nRead = 0;
    const int nResult =
        SSL_read_ex(m_pImpl->pSsl, pBuffer, static_cast<std::size_t>(nMaximum), &nRead);
    if (nResult == 1)
        return static_cast<int>(nRead);
    const int nError = SSL_get_error(m_pImpl->pSsl, nResult);
    ERR_clear_error();
    if (nError == SSL_ERROR_ZERO_RETURN)
        return 0;
    if (nError != SSL_ERROR_SYSCALL)
        m_nLastError = NET_ECONNABORTED;
    return -1;
}

void CTlsSocket::Close()
{
    if (IsEncrypted())
        SSL_shutdown(m_pImpl->pSsl); // sends close_notify; the reply is not awaited
    EndSession();
    m_socket.Close();
}
