// PosixSocket.cpp - the system calls of the socket on POSIX: non-blocking descriptors and poll.
#include "mail/SocketPlatform.h"
#include "mail/SystemSocket.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
constexpr int kUnmappedErrnoBase = 20000;
} // namespace

namespace socket_platform
{
bool Start()
{
    return true; // nothing to start; sends use MSG_NOSIGNAL
}

// <chrono> does not build with the CP932 execution character set.
std::int64_t NowMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

addrinfo* LookUp(const char* pszHost, const char* pszPort, bool bLiteralOnly)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | (bLiteralOnly ? AI_NUMERICHOST : 0);
    addrinfo* pList = nullptr;
    if (::getaddrinfo(pszHost, pszPort, &hints, &pList) != 0)
        return nullptr;
    return pList;
}

void FreeAddresses(addrinfo* pList)
{
    if (pList != nullptr)
        ::freeaddrinfo(pList);
}

const addrinfo* NextAddress(const addrinfo* p)
{
    return p->ai_next;
}
} // namespace socket_platform

bool StartSystemSockets()
{
    // A peer that closes a connection must never end the program through SIGPIPE.
    return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
}

int WsaErrorFromErrno(int nErrno)
{
    switch (nErrno)
    {
    case EINTR:
        return NET_EINTR;
    case EBADF:
        return NET_EBADF;
    case EACCES:
        return NET_EACCES;
    case EFAULT:
        return NET_EFAULT;
    case EINVAL:
        return NET_EINVAL;
    case EMFILE:
        return NET_EMFILE;
    case EAGAIN:
        return NET_EWOULDBLOCK; // EWOULDBLOCK is the same value on Linux
    case EINPROGRESS:
    case EALREADY:
        return NET_EINPROGRESS;
    case ENOTSOCK:
        return NET_ENOTSOCK;
    case EMSGSIZE:
        return NET_EMSGSIZE;
    case EOPNOTSUPP:
        return NET_EOPNOTSUPP;
    case EADDRINUSE:
        return NET_EADDRINUSE;
    case EADDRNOTAVAIL:
        return NET_EADDRNOTAVAIL;
    case ENETDOWN:
        return NET_ENETDOWN;
    case ENETUNREACH:
        return NET_ENETUNREACH;
    case ECONNABORTED:
        return NET_ECONNABORTED;
    case ECONNRESET:
        return NET_ECONNRESET;
    case ENOBUFS:
        return NET_ENOBUFS;
    case ENOTCONN:
        return NET_ENOTCONN;
    case EPIPE: // sending after the connection was shut down
    case ESHUTDOWN:
        return NET_ESHUTDOWN;
    case ETIMEDOUT:
        return NET_ETIMEDOUT;
    case ECONNREFUSED:
        return NET_ECONNREFUSED;
    case EHOSTUNREACH:
        return NET_EHOSTUNREACH;
    default:
        return kUnmappedErrnoBase + nErrno;
    }
}

int CSystemSocket::WaitSlice(Ready ready, int nMs)
{
    const short nEvents = ready == Ready::read ? POLLIN : POLLOUT;
    pollfd pfd{static_cast<int>(m_handle), nEvents, 0};
    const int n = ::poll(&pfd, 1, nMs);
    if (n > 0)
        return 1; // ready, or an error the next call reports
    if (n == 0 || errno == EINTR)
        return 0;
    m_nLastError = WsaErrorFromErrno(errno);
    return kFailed;
}

int CSystemSocket::StartConnect(const addrinfo& address)
{
    m_handle = ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                        address.ai_protocol);
    if (m_handle < 0)
    {
        m_handle = -1;
        m_nLastError = WsaErrorFromErrno(errno);
        return kFailed;
    }
    if (::connect(static_cast<int>(m_handle), address.ai_addr, address.ai_addrlen) == 0)
        return 1;
    if (errno == EINPROGRESS)
        return 0;
    m_nLastError = WsaErrorFromErrno(errno);
    return kFailed;
}

bool CSystemSocket::ConnectSucceeded()
{
    int nError = 0;
    socklen_t nLen = sizeof(nError);
    if (::getsockopt(static_cast<int>(m_handle), SOL_SOCKET, SO_ERROR, &nError, &nLen) == 0 &&
        nError == 0)
        return true;
    m_nLastError = WsaErrorFromErrno(nError != 0 ? nError : errno);
    return false;
}

void CSystemSocket::SetNoDelay()
{
    const int nOne = 1;
    ::setsockopt(static_cast<int>(m_handle), IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof(nOne));
}

int CSystemSocket::SendSome(const char* pData, int nLength)
{
    for (;;)
    {
        const ssize_t n = ::send(static_cast<int>(m_handle), pData,
                                 static_cast<std::size_t>(nLength), MSG_NOSIGNAL);
        if (n > 0)
            return static_cast<int>(n);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return kWouldBlock;
        m_nLastError = n < 0 ? WsaErrorFromErrno(errno) : NET_ESHUTDOWN;
        return kFailed;
    }
}

int CSystemSocket::ReceiveSome(char* pBuffer, int nMaximum)
{
    for (;;)
    {
        const ssize_t n =
            ::recv(static_cast<int>(m_handle), pBuffer, static_cast<std::size_t>(nMaximum), 0);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN)
            return kWouldBlock;
        m_nLastError = WsaErrorFromErrno(errno);
        return kFailed;
    }
}

void CSystemSocket::Release()
{
    ::close(static_cast<int>(m_handle));
}
