// WinTlsSocket.cpp - Schannel client sessions through SSPI. The records Schannel makes and takes
// go through the wrapped socket's Send and Receive. Schannel is told to leave the certificate to
// us (manual validation): the chain is built against the Windows store plus the CA file, and the
// host is checked here against the subject alternative names with the rules of the Linux side.
#include "mail/TlsSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>
// SCH_CREDENTIALS (Windows 10 1809 and later) and the UNICODE_STRING it uses.
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>
#include <schannel.h>
#define SECURITY_WIN32
#include <security.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
// The largest CA file read: a bundle of every public root is well under 1 MB.
constexpr DWORD kMaxCaFile = 16u << 20;
// The largest handshake message collected before giving up.
constexpr std::size_t kMaxPending = 1u << 20;

constexpr char kRecordAlert = 0x15;
constexpr char kRecordHandshake = 0x16;

constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                ISC_REQ_MANUAL_CRED_VALIDATION;

bool IsIpAddress(const std::string& strHost, std::vector<unsigned char>& address)
{
    unsigned char bytes[16];
    if (inet_pton(AF_INET, strHost.c_str(), bytes) == 1)
        address.assign(bytes, bytes + 4);
    else if (inet_pton(AF_INET6, strHost.c_str(), bytes) == 1)
        address.assign(bytes, bytes + 16);
    else
        return false;
    return true;
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const std::string& strA, const std::string& strB)
{
    return strA.size() == strB.size() &&
           std::equal(strA.begin(), strA.end(), strB.begin(),
                      [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
}

// A DNS name from a certificate, or empty when it holds anything but printable ASCII.
std::string AsciiName(const wchar_t* pszName)
{
    std::string strName;
    for (; pszName != nullptr && *pszName != 0; ++pszName)
    {
        if (*pszName <= 0x20 || *pszName >= 0x7f)
            return std::string();
        strName.push_back(static_cast<char>(*pszName));
    }
    return strName;
}

// A subject alternative name of type DNS matches the host case-insensitively, or as a wildcard
// "*.rest" whose star stands for exactly one whole leftmost label, and only where "rest" still
// has two labels ("*.example.jp", never "*.jp" or "a*.example.jp").
bool TlsNameMatches(const std::string& strPattern, const std::string& strHost)
{
    if (strPattern.empty() || strHost.empty())
        return false;
    if (strPattern.compare(0, 2, "*.") != 0)
        return EqualNoCase(strPattern, strHost);
    const std::string strRest = strPattern.substr(1); // ".example.jp"
    if (strRest.find('*') != std::string::npos || strRest.find('.', 1) == std::string::npos ||
        strRest.back() == '.')
        return false;
    const std::size_t nDot = strHost.find('.');
    return nDot != std::string::npos && nDot > 0 && EqualNoCase(strHost.substr(nDot), strRest);
}
} // namespace

struct CTlsSocket::Impl
{
    CredHandle credentials{};
    CtxtHandle context{};
    bool bCredentials = false;
    bool bContext = false;
    HCERTSTORE hCaStore = nullptr; // the CA file's certificates
    std::wstring strTarget;        // the host for SNI
    DWORD nProtocol = 0;
    SecPkgContext_StreamSizes sizes{};
    std::string strIncoming; // records received and not yet decrypted
    std::string strPlain;    // decrypted and not yet handed out
    bool bClosed = false;    // close_notify received

    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl()
    {
        if (bContext)
            DeleteSecurityContext(&context);
        if (bCredentials)
            FreeCredentialsHandle(&credentials);
        if (hCaStore != nullptr)
            CertCloseStore(hCaStore, 0);
    }

    bool LoadCaFile(const std::string& strPath);
    bool AcquireCredentials();
    // Runs InitializeSecurityContext until it is done, sending its tokens and receiving what it
    // asks for; strIncoming holds what arrived beyond the handshake.
    bool Negotiate(ISocket& socket, bool bFirst);
    bool SendToken(ISocket& socket, SecBuffer& token);
    TlsFailure Verify(const std::string& strHost, std::string& strReason) const;
};

namespace
{
// Frees a buffer SSPI allocated, on every path.
struct ContextBuffer
{
    SecBuffer& buffer;
    ~ContextBuffer()
    {
        if (buffer.pvBuffer != nullptr)
            FreeContextBuffer(buffer.pvBuffer);
        buffer.pvBuffer = nullptr;
    }
};

bool ReadWholeFile(const std::string& strPath, std::string& strContents)
{
    // The ANSI entry point takes the path in the code page the user typed it in. Only a plain
    // file is read: a pipe or device would hold the send in its open or read.
    const DWORD nAttributes = GetFileAttributesA(strPath.c_str());
    if (nAttributes == INVALID_FILE_ATTRIBUTES || (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    HANDLE hFile = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    bool bRead = false;
    LARGE_INTEGER size{};
    if (GetFileType(hFile) == FILE_TYPE_DISK && GetFileSizeEx(hFile, &size) &&
        size.QuadPart <= kMaxCaFile)
    {
        strContents.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD nRead = 0;
        bRead = strContents.empty() ||
                (ReadFile(hFile, strContents.data(), static_cast<DWORD>(strContents.size()), &nRead,
                          nullptr) &&
                 nRead == strContents.size());
    }
    CloseHandle(hFile);
    return bRead;
}

// The reason for a chain status, worded as OpenSSL words the same failure.
const char* ChainReason(DWORD nStatus)
{
    if ((nStatus & CERT_TRUST_IS_NOT_TIME_VALID) != 0)
        return "certificate has expired or is not yet valid";
    if ((nStatus & CERT_TRUST_IS_REVOKED) != 0)
        return "certificate revoked";
    if ((nStatus & CERT_TRUST_IS_NOT_SIGNATURE_VALID) != 0)
        return "certificate signature failure";
    if ((nStatus & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) != 0)
        return "unsupported certificate purpose";
    if ((nStatus & CERT_TRUST_IS_PARTIAL_CHAIN) != 0)
        return "unable to get local issuer certificate";
    if ((nStatus & CERT_TRUST_IS_UNTRUSTED_ROOT) != 0)
        return "self-signed certificate in certificate chain";
    return "certificate chain error";
}
} // namespace

bool CTlsSocket::Impl::LoadCaFile(const std::string& strPath)
{
    std::string strPem;
    if (!ReadWholeFile(strPath, strPem))
        return false;
    hCaStore = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    if (hCaStore == nullptr)
        return false;
    static const std::string strBegin = "-----BEGIN CERTIFICATE-----";
    static const std::string strEnd = "-----END CERTIFICATE-----";
    int nLoaded = 0;
    for (std::size_t nStart = strPem.find(strBegin); nStart != std::string::npos;
         nStart = strPem.find(strBegin, nStart + 1))
    {
        const std::size_t nEnd = strPem.find(strEnd, nStart);
        if (nEnd == std::string::npos)
            return false;
        const std::string strBlock = strPem.substr(nStart, nEnd + strEnd.size() - nStart);
        DWORD nDer = 0;
        if (!CryptStringToBinaryA(strBlock.data(), static_cast<DWORD>(strBlock.size()),
                                  CRYPT_STRING_BASE64HEADER, nullptr, &nDer, nullptr, nullptr))
            return false;
        std::vector<BYTE> der(nDer);
        if (!CryptStringToBinaryA(strBlock.data(), static_cast<DWORD>(strBlock.size()),
                                  CRYPT_STRING_BASE64HEADER, der.data(), &nDer, nullptr, nullptr) ||
            !CertAddEncodedCertificateToStore(hCaStore, X509_ASN_ENCODING, der.data(), nDer,
                                              CERT_STORE_ADD_USE_EXISTING, nullptr))
            return false;
        ++nLoaded;
    }
    return nLoaded > 0; // a file without a certificate is not a CA file
}

bool CTlsSocket::Impl::AcquireCredentials()
{
    // Schannel must neither check the server itself nor offer a client certificate of the
    // user's; TLS 1.0 and 1.1 are switched off.
    const DWORD nFlags =
        SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols =
        static_cast<DWORD>(~(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT));
    SCH_CREDENTIALS current{};
    current.dwVersion = SCH_CREDENTIALS_VERSION;
    current.dwFlags = nFlags;
    current.cTlsParameters = 1;
    current.pTlsParameters = &parameters;
    TimeStamp expiry{};
    wchar_t szPackage[] = UNISP_NAME_W;
    if (AcquireCredentialsHandleW(nullptr, szPackage, SECPKG_CRED_OUTBOUND, nullptr, &current,
                                  nullptr, nullptr, &credentials, &expiry) == SEC_E_OK)
    {
        bCredentials = true;
        return true;
    }
    // Windows before 10 1809 knows only the older structure, and with it no TLS 1.3.
    SCHANNEL_CRED older{};
    older.dwVersion = SCHANNEL_CRED_VERSION;
    older.dwFlags = nFlags;
    older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    if (AcquireCredentialsHandleW(nullptr, szPackage, SECPKG_CRED_OUTBOUND, nullptr, &older,
                                  nullptr, nullptr, &credentials, &expiry) == SEC_E_OK)
        bCredentials = true;
    return bCredentials;
}

bool CTlsSocket::Impl::SendToken(ISocket& socket, SecBuffer& token)
{
    ContextBuffer owner{token};
    if (token.pvBuffer == nullptr || token.cbBuffer == 0)
        return true;
    const int nLength = static_cast<int>(token.cbBuffer);
    return socket.Send(static_cast<const char*>(token.pvBuffer), nLength) == nLength;
}

bool CTlsSocket::Impl::Negotiate(ISocket& socket, bool bFirst)
{
    // After the handshake, what DecryptMessage left over holds the message Schannel asked for:
    // it goes to InitializeSecurityContext before anything more is read.
    bool bNeedData = false;
    // The server's first record is a handshake message or an alert. Anything else is a server
    // that does not speak TLS (a greeting in the clear): given up at once, where Schannel might
    // wait for a "record" as long as the text's bytes make it.
    bool bFirstRecord = bFirst;
    for (;;)
    {
        if (bNeedData)
        {
            char buffer[16384];
            const int nRead = socket.Receive(buffer, sizeof(buffer));
            if (nRead <= 0 || strIncoming.size() > kMaxPending)
                return false; // closed, timed out or failed
            strIncoming.append(buffer, static_cast<std::size_t>(nRead));
        }
        if (bFirstRecord && !strIncoming.empty())
        {
            if (strIncoming[0] != kRecordHandshake && strIncoming[0] != kRecordAlert)
                return false;
            bFirstRecord = false;
        }
        SecBuffer input[2] = {
            {static_cast<unsigned long>(strIncoming.size()), SECBUFFER_TOKEN, strIncoming.data()},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inputDesc{SECBUFFER_VERSION, 2, input};
        SecBuffer output{0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outputDesc{SECBUFFER_VERSION, 1, &output};
        unsigned long nAttributes = 0;
        TimeStamp expiry{};
        const SECURITY_STATUS status = InitializeSecurityContextW(
            &credentials, bFirst ? nullptr : &context, strTarget.data(), kContextFlags, 0, 0,
            bFirst ? nullptr : &inputDesc, 0, bFirst ? &context : nullptr, &outputDesc,
            &nAttributes, &expiry);
        if (bFirst && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED))
            bContext = true;
        bFirst = false;
        // A token goes out even with a failure: it is the alert that tells the server why.
        if (!SendToken(socket, output))
            return false;
        if (status == SEC_E_INCOMPLETE_MESSAGE)
        {
            bNeedData = true;
            continue;
        }
        if (input[1].BufferType == SECBUFFER_EXTRA && input[1].cbBuffer > 0 &&
            input[1].cbBuffer <= strIncoming.size())
            strIncoming.erase(0, strIncoming.size() - input[1].cbBuffer);
        else
            strIncoming.clear();
        if (status == SEC_E_OK)
            return true;
        if (status == SEC_I_INCOMPLETE_CREDENTIALS)
        {
            bNeedData = false; // the server asked for a client certificate: go on without one
            continue;
        }
        if (status != SEC_I_CONTINUE_NEEDED)
            return false;
        bNeedData = strIncoming.empty();
    }
}

TlsFailure CTlsSocket::Impl::Verify(const std::string& strHost, std::string& strReason) const
{
    PCCERT_CONTEXT pLeaf = nullptr;
    if (QueryContextAttributesW(const_cast<CtxtHandle*>(&context), SECPKG_ATTR_REMOTE_CERT_CONTEXT,
                                &pLeaf) != SEC_E_OK ||
        pLeaf == nullptr)
    {
        strReason = "no peer certificate";
        return TlsFailure::certificate;
    }
    // The chain may use the intermediates the server sent and the CA file's certificates.
    HCERTSTORE hExtra = CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
    if (hExtra != nullptr)
    {
        CertAddStoreToCollection(hExtra, pLeaf->hCertStore, 0, 0);
        if (hCaStore != nullptr)
            CertAddStoreToCollection(hExtra, hCaStore, 0, 0);
    }
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof(chainPara);
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT pChain = nullptr;
    TlsFailure failure = TlsFailure::none;
    if (hExtra == nullptr ||
        !CertGetCertificateChain(nullptr, pLeaf, nullptr, hExtra, &chainPara, 0, nullptr, &pChain))
    {
        strReason = "certificate chain error";
        failure = TlsFailure::certificate;
    }
    else
    {
        DWORD nStatus = pChain->TrustStatus.dwErrorStatus;
        // Revocation is not asked for, as on Linux.
        nStatus &= ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                       CERT_TRUST_IS_OFFLINE_REVOCATION);
        // An untrusted root is taken only when it is, byte for byte, a certificate of the CA file.
        const CERT_SIMPLE_CHAIN* pSimple =
            pChain->cChain > 0 ? pChain->rgpChain[pChain->cChain - 1] : nullptr;
        if ((nStatus & CERT_TRUST_IS_UNTRUSTED_ROOT) != 0 && hCaStore != nullptr &&
            pSimple != nullptr && pSimple->cElement > 0)
        {
            PCCERT_CONTEXT pRoot = pSimple->rgpElement[pSimple->cElement - 1]->pCertContext;
            PCCERT_CONTEXT pCa = nullptr;
            while ((pCa = CertEnumCertificatesInStore(hCaStore, pCa)) != nullptr)
            {
                if (pCa->cbCertEncoded == pRoot->cbCertEncoded &&
                    std::memcmp(pCa->pbCertEncoded, pRoot->pbCertEncoded, pRoot->cbCertEncoded) ==
                        0)
                {
                    nStatus &= ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT);
                    CertFreeCertificateContext(pCa);
                    break;
                }
            }
        }
        // Expiry once more on its own: the chain status must not be the only word on it.
        if (nStatus == 0 && CertVerifyTimeValidity(nullptr, pLeaf->pCertInfo) != 0)
            nStatus = CERT_TRUST_IS_NOT_TIME_VALID;
        if (nStatus != 0)
        {
            strReason = ChainReason(nStatus);
            failure = TlsFailure::certificate;
        }
        CertFreeCertificateChain(pChain);
    }
    if (hExtra != nullptr)
        CertCloseStore(hExtra, 0);

    // The host, exactly as typed, against the subject alternative names only.
    if (failure == TlsFailure::none)
    {
        std::vector<unsigned char> address;
        const bool bAddress = IsIpAddress(strHost, address);
        bool bNamed = false;
        const CERT_EXTENSION* pExtension = CertFindExtension(
            szOID_SUBJECT_ALT_NAME2, pLeaf->pCertInfo->cExtension, pLeaf->pCertInfo->rgExtension);
        CERT_ALT_NAME_INFO* pNames = nullptr;
        DWORD nSize = 0;
        if (pExtension != nullptr &&
            CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, pExtension->Value.pbData,
                                pExtension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &pNames,
                                &nSize))
        {
            for (DWORD n = 0; n < pNames->cAltEntry && !bNamed; ++n)
            {
                const CERT_ALT_NAME_ENTRY& entry = pNames->rgAltEntry[n];
                if (bAddress && entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS)
                    bNamed =
                        entry.IPAddress.cbData == address.size() &&
                        std::memcmp(entry.IPAddress.pbData, address.data(), address.size()) == 0;
                else if (!bAddress && entry.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME)
                    bNamed = TlsNameMatches(AsciiName(entry.pwszDNSName), strHost);
            }
            LocalFree(pNames);
        }
        if (!bNamed)
        {
            strReason = bAddress ? "IP address mismatch" : "hostname mismatch";
            failure = TlsFailure::hostName;
        }
    }
    CertFreeCertificateContext(pLeaf);
    return failure;
}

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
}

bool CTlsSocket::Handshake(const std::string& strHost)
{
    EndSession();
    m_failure = TlsFailure::handshake;
    m_strVerifyReason.clear();
    m_pImpl = std::make_unique<Impl>();
    Impl& impl = *m_pImpl;
    if (!m_strCaFile.empty() && !impl.LoadCaFile(m_strCaFile))
    {
        m_failure = TlsFailure::caFile;
        EndSession();
        return false;
    }
    const int nWide = MultiByteToWideChar(CP_ACP, 0, strHost.c_str(), -1, nullptr, 0);
    if (strHost.empty() || nWide <= 1)
    {
        m_failure = TlsFailure::hostName;
        EndSession();
        return false;
    }
    impl.strTarget.resize(static_cast<std::size_t>(nWide));
    MultiByteToWideChar(CP_ACP, 0, strHost.c_str(), -1, impl.strTarget.data(), nWide);
    if (!impl.AcquireCredentials())
    {
        EndSession();
        return false;
    }

    m_socket.BeginReply(); // one deadline for the whole handshake
    SecPkgContext_ConnectionInfo info{};
    if (!impl.Negotiate(m_socket, true) ||
        QueryContextAttributesW(&impl.context, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK ||
        (info.dwProtocol & (SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT)) == 0 ||
        QueryContextAttributesW(&impl.context, SECPKG_ATTR_STREAM_SIZES, &impl.sizes) != SEC_E_OK)
    {
        EndSession();
        return false;
    }
    impl.nProtocol = info.dwProtocol;
    m_failure = impl.Verify(strHost, m_strVerifyReason);
    if (m_failure != TlsFailure::none)
    {
        EndSession();
        return false;
    }
    m_bEstablished = true;
    return true;
}

int CTlsSocket::Send(const char* pData, int nLength)
{
    m_nLastError = 0;
    if (!IsEncrypted())
        return m_socket.Send(pData, nLength);
    if (nLength <= 0)
        return nLength < 0 ? -1 : 0;
    Impl& impl = *m_pImpl;
    const SecPkgContext_StreamSizes& sizes = impl.sizes;
    std::vector<char> record(sizes.cbHeader + sizes.cbMaximumMessage + sizes.cbTrailer);
    for (int nSent = 0; nSent < nLength;)
    {
        const unsigned long nChunk = std::min<unsigned long>(
            sizes.cbMaximumMessage, static_cast<unsigned long>(nLength - nSent));
        std::memcpy(record.data() + sizes.cbHeader, pData + nSent, nChunk);
        SecBuffer buffers[4] = {
            {sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
            {nChunk, SECBUFFER_DATA, record.data() + sizes.cbHeader},
            {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes.cbHeader + nChunk},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        if (EncryptMessage(&impl.context, 0, &desc, 0) != SEC_E_OK)
        {
            m_nLastError = NET_ECONNABORTED; // a TLS error, not one of the socket
            return -1;
        }
        const int nRecord =
            static_cast<int>(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        if (m_socket.Send(record.data(), nRecord) != nRecord)
            return -1;
        nSent += static_cast<int>(nChunk);
    }
    return nLength;
}

int CTlsSocket::Receive(char* pBuffer, int nMaximum)
{
    m_nLastError = 0;
    if (!IsEncrypted())
        return m_socket.Receive(pBuffer, nMaximum);
    if (nMaximum <= 0)
        return 0;
    Impl& impl = *m_pImpl;
    while (impl.strPlain.empty())
    {
        if (impl.bClosed)
            return 0;
        SECURITY_STATUS status = SEC_E_INCOMPLETE_MESSAGE;
        if (!impl.strIncoming.empty())
        {
            SecBuffer buffers[4] = {{static_cast<unsigned long>(impl.strIncoming.size()),
                                     SECBUFFER_DATA, impl.strIncoming.data()},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
            status = DecryptMessage(&impl.context, &desc, 0, nullptr);
            if (status != SEC_E_INCOMPLETE_MESSAGE)
            {
                std::string strExtra;
                for (const SecBuffer& buffer : buffers)
                {
                    if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0)
                        impl.strPlain.append(static_cast<const char*>(buffer.pvBuffer),
                                             buffer.cbBuffer);
                    else if (buffer.BufferType == SECBUFFER_EXTRA && buffer.cbBuffer > 0)
                        strExtra.assign(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
                }
                impl.strIncoming = std::move(strExtra);
            }
        }
        if (status == SEC_E_OK)
            continue;
        if (status == SEC_I_CONTEXT_EXPIRED)
        {
            impl.bClosed = true; // close_notify
            continue;
        }
        if (status == SEC_I_RENEGOTIATE)
        {
            // TLS 1.3 messages after the handshake (a KeyUpdate, a session ticket) come this
            // way and are handed back to Schannel, whose answer goes out without touching the
            // reply's deadline. Under TLS 1.2 it is a renegotiation, which is refused.
            if ((impl.nProtocol & SP_PROT_TLS1_3_CLIENT) == 0 || !impl.Negotiate(m_socket, false))
            {
                m_nLastError = NET_ECONNABORTED;
                return -1;
            }
            continue;
        }
        if (status != SEC_E_INCOMPLETE_MESSAGE)
        {
            m_nLastError = NET_ECONNABORTED;
            return -1;
        }
        char buffer[16384];
        const int nRead = m_socket.Receive(buffer, sizeof(buffer));
        if (nRead == 0)
            return 0; // mail servers often close without a close_notify
        if (nRead < 0)
            return -1;
        impl.strIncoming.append(buffer, static_cast<std::size_t>(nRead));
    }
    const std::size_t nCount = std::min(impl.strPlain.size(), static_cast<std::size_t>(nMaximum));
    std::memcpy(pBuffer, impl.strPlain.data(), nCount);
    impl.strPlain.erase(0, nCount);
    return static_cast<int>(nCount);
}

void CTlsSocket::Close()
{
    if (IsEncrypted())
    {
        // A close_notify; the reply is not awaited.
        Impl& impl = *m_pImpl;
        DWORD nType = SCHANNEL_SHUTDOWN;
        SecBuffer control{sizeof(nType), SECBUFFER_TOKEN, &nType};
        SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
        if (ApplyControlToken(&impl.context, &controlDesc) == SEC_E_OK)
        {
            SecBuffer output{0, SECBUFFER_TOKEN, nullptr};
            SecBufferDesc outputDesc{SECBUFFER_VERSION, 1, &output};
            unsigned long nAttributes = 0;
            TimeStamp expiry{};
            InitializeSecurityContextW(&impl.credentials, &impl.context, impl.strTarget.data(),
                                       kContextFlags, 0, 0, nullptr, 0, nullptr, &outputDesc,
                                       &nAttributes, &expiry);
            impl.SendToken(m_socket, output);
        }
    }
    EndSession();
    m_socket.Close();
}
