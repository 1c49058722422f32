// PosixSocket.cpp - the blocking TCP socket over POSIX, with time-outs.
#include "mail/PosixSocket.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
constexpr int kDefaultTimeoutSeconds = 60;
constexpr int kUnmappedErrnoBase = 20000;
} // namespace

int NetTimeoutSeconds()
{
    const char* pszValue = std::getenv("TARVELL_NET_TIMEOUT");
    if (pszValue == nullptr || *pszValue == '\0')
        return kDefaultTimeoutSeconds;
    char* pEnd = nullptr;
    const long nSeconds = std::strtol(pszValue, &pEnd, 10);
    if (*pEnd != '\0' || nSeconds <= 0 || nSeconds > INT_MAX / 1000)
        return kDefaultTimeoutSeconds;
    return static_cast<int>(nSeconds);
}

int WsaErrorFromErrno(int nErrno)
{
    switch (nErrno)
    {
    case EINTR:
        return WSAEINTR;
    case EBADF:
        return WSAEBADF;
    case EACCES:
        return WSAEACCES;
    case EFAULT:
        return WSAEFAULT;
    case EINVAL:
        return WSAEINVAL;
    case EMFILE:
        return WSAEMFILE;
    case EAGAIN:
        return WSAEWOULDBLOCK; // EWOULDBLOCK is the same value on Linux
    case EINPROGRESS:
        return WSAEINPROGRESS;
    case EALREADY:
        return WSAEINPROGRESS;
    case ENOTSOCK:
        return WSAENOTSOCK;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EOPNOTSUPP:
        return WSAEOPNOTSUPP;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case ECONNRESET:
        return WSAECONNRESET;
    case ENOBUFS:
        return WSAENOBUFS;
    case ENOTCONN:
        return WSAENOTCONN;
    case EPIPE:
        return WSAESHUTDOWN; // sending after the connection was shut down
    case ESHUTDOWN:
        return WSAESHUTDOWN;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    default:
        return kUnmappedErrnoBase + nErrno;
    }
}

CPosixSocket::~CPosixSocket()
{
    Close();
}

bool CPosixSocket::Create()
{
    // The address family is only known once the host is resolved: Connect() makes the descriptor.
    Close();
    m_nLastError = 0;
    return true;
}

bool CPosixSocket::WaitFor(short nEvents)
{
    pollfd pfd{m_fd, nEvents, 0};
    const int nTimeoutMs = NetTimeoutSeconds() * 1000;
    for (;;)
    {
        const int n = ::poll(&pfd, 1, nTimeoutMs);
        if (n > 0)
            return true; // ready, or an error the next call reports
        if (n == 0)
        {
            m_nLastError = WSAETIMEDOUT;
            return false;
        }
        if (errno != EINTR)
        {
            m_nLastError = WsaErrorFromErrno(errno);
            return false;
        }
    }
}

bool CPosixSocket::ConnectTo(const addrinfo& address)
{
    m_fd = ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                    address.ai_protocol);
    if (m_fd < 0)
    {
        m_nLastError = WsaErrorFromErrno(errno);
        return false;
    }
    if (::connect(m_fd, address.ai_addr, address.ai_addrlen) != 0)
    {
        if (errno != EINPROGRESS)
        {
            m_nLastError = WsaErrorFromErrno(errno);
            Close();
            return false;
        }
        if (!WaitFor(POLLOUT))
        {
            Close();
            return false;
        }
        int nError = 0;
        socklen_t nLen = sizeof(nError);
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &nError, &nLen) != 0 || nError != 0)
        {
            m_nLastError = WsaErrorFromErrno(nError != 0 ? nError : errno);
            Close();
            return false;
        }
    }
    // Sends are whole commands or large buffered pieces: waiting to merge small writes (Nagle)
    // would only hold the last piece of a message back for a delayed acknowledgement.
    const int nOne = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof(nOne));
    return true;
}

bool CPosixSocket::Connect(const std::string& strHost, int nPort)
{
    Close();
    if (strHost.empty() || nPort <= 0 || nPort > 65535)
    {
        m_nLastError = WSAEINVAL;
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* pList = nullptr;
    if (::getaddrinfo(strHost.c_str(), std::to_string(nPort).c_str(), &hints, &pList) != 0)
    {
        m_nLastError = WSAHOST_NOT_FOUND;
        return false;
    }
    bool bConnected = false;
    for (const addrinfo* p = pList; p != nullptr && !bConnected; p = p->ai_next)
        bConnected = ConnectTo(*p);
    ::freeaddrinfo(pList);
    return bConnected;
}

int CPosixSocket::Send(const char* pData, int nLength)
{
    if (m_fd < 0)
    {
        m_nLastError = WSAENOTCONN;
        return -1;
    }
    int nSent = 0;
    while (nSent < nLength)
    {
        const ssize_t n =
            ::send(m_fd, pData + nSent, static_cast<std::size_t>(nLength - nSent), MSG_NOSIGNAL);
        if (n > 0)
        {
            nSent += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
        {
            if (!WaitFor(POLLOUT))
                return -1;
            continue;
        }
        m_nLastError = n < 0 ? WsaErrorFromErrno(errno) : WSAESHUTDOWN;
        return -1;
    }
    return nLength;
}

int CPosixSocket::Receive(char* pBuffer, int nMaximum)
{
    if (m_fd < 0)
    {
        m_nLastError = WSAENOTCONN;
        return -1;
    }
    for (;;)
    {
        const ssize_t n = ::recv(m_fd, pBuffer, static_cast<std::size_t>(nMaximum), 0);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
        {
            m_nLastError = WsaErrorFromErrno(errno);
            return -1;
        }
        if (!WaitFor(POLLIN))
            return -1;
    }
}

void CPosixSocket::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

std::unique_ptr<ISocket> CPosixSocketFactory::CreateSocket()
{
    return std::make_unique<CPosixSocket>();
}
