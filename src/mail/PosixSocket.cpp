// PosixSocket.cpp - the blocking TCP socket over POSIX, with time-outs.
#include "mail/PosixSocket.h"

#include "mail/SendCancel.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
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

// Milliseconds on the monotonic clock (<chrono> does not build with the CP932 execution
// character set).
std::int64_t NowMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::int64_t DeadlineFromNow()
{
    return NowMs() + std::int64_t(NetTimeoutSeconds()) * 1000;
}

// The milliseconds left until the deadline, for poll: 0 when it has passed.
int RemainingMs(std::int64_t deadline)
{
    const std::int64_t nLeft = deadline - NowMs();
    return nLeft > 0 ? static_cast<int>(nLeft) : 0;
}

// A wait polls in slices this long, so a cancel request ends it soon.
constexpr int kPollSliceMs = 100;

// The next poll's time-out: the time left, at most one slice.
int PollSliceMs(std::int64_t deadline)
{
    const int nLeft = RemainingMs(deadline);
    return nLeft < kPollSliceMs ? nLeft : kPollSliceMs;
}

using AddressList = std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)>;

// One name resolution on a thread of its own, since getaddrinfo cannot be given a time-out. The
// thread signals the end through a pipe the caller polls with its deadline. A caller that stops
// waiting leaves the state to the thread, which frees it (the addresses nobody took and the
// pipe) when the lookup ends.
struct Resolution
{
    std::mutex mutex;
    int nResult = EAI_FAIL;
    addrinfo* pList = nullptr;
    int fds[2] = {-1, -1};

    ~Resolution()
    {
        if (pList != nullptr)
            ::freeaddrinfo(pList);
        for (const int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }
};

// Resolves host and port by the deadline; 0 or the getaddrinfo code, EAI_AGAIN when the deadline
// passed first.
int Resolve(const std::string& strHost, const std::string& strPort, std::int64_t deadline,
            AddressList& list)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_NUMERICHOST;
    addrinfo* pList = nullptr;
    // An address literal needs no lookup and no thread.
    if (::getaddrinfo(strHost.c_str(), strPort.c_str(), &hints, &pList) == 0)
    {
        list.reset(pList);
        return 0;
    }
    hints.ai_flags = AI_NUMERICSERV;
    auto pState = std::make_shared<Resolution>();
    if (::pipe2(pState->fds, O_CLOEXEC) != 0)
        return EAI_SYSTEM;
    try
    {
        std::thread([pState, strHost, strPort, hints] {
            addrinfo* pFound = nullptr;
            const int nResult = ::getaddrinfo(strHost.c_str(), strPort.c_str(), &hints, &pFound);
            const std::lock_guard<std::mutex> lock(pState->mutex);
            pState->pList = pFound;
            pState->nResult = nResult;
            const char c = 1;
            [[maybe_unused]] const ssize_t n = ::write(pState->fds[1], &c, 1);
        }).detach();
    }
    catch (const std::system_error&)
    {
        return EAI_SYSTEM; // no thread to resolve on
    }
    pollfd pfd{pState->fds[0], POLLIN, 0};
    for (;;)
    {
        if (SendCancelRequested())
            return EAI_AGAIN;
        const int n = ::poll(&pfd, 1, PollSliceMs(deadline));
        if (n > 0)
            break;
        if (n == 0 && RemainingMs(deadline) > 0)
            continue;
        if (n == 0 || errno != EINTR)
            return EAI_AGAIN;
    }
    const std::lock_guard<std::mutex> lock(pState->mutex);
    list.reset(std::exchange(pState->pList, nullptr));
    return pState->nResult;
}
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
        return NET_EINPROGRESS;
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
    case EPIPE:
        return NET_ESHUTDOWN; // sending after the connection was shut down
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

bool CPosixSocket::WaitFor(short nEvents, Deadline deadline)
{
    pollfd pfd{m_fd, nEvents, 0};
    for (;;)
    {
        if (SendCancelRequested())
        {
            m_nLastError = NET_EINTR;
            return false;
        }
        const int nLeft = PollSliceMs(deadline);
        const int n = nLeft > 0 ? ::poll(&pfd, 1, nLeft) : 0;
        if (n > 0)
            return true; // ready, or an error the next call reports
        if (n == 0 && RemainingMs(deadline) > 0)
            continue; // a slice ended: look at the cancel request again
        if (n == 0)
        {
            m_nLastError = NET_ETIMEDOUT;
            return false;
        }
        if (errno != EINTR)
        {
            m_nLastError = WsaErrorFromErrno(errno);
            return false;
        }
    }
}

bool CPosixSocket::ConnectTo(const addrinfo& address, Deadline deadline)
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
        if (!WaitFor(POLLOUT, deadline))
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

CPosixSocket::Deadline CPosixSocket::StepDeadline()
{
    return DeadlineFromNow();
}

bool CPosixSocket::ConnectToFirst(const addrinfo* pList, Deadline deadline)
{
    Close(); // also forgets the last connection's reply deadline
    bool bConnected = false;
    for (const addrinfo* p = pList; p != nullptr && !bConnected; p = p->ai_next)
        bConnected = ConnectTo(*p, deadline);
    return bConnected;
}

bool CPosixSocket::Connect(const std::string& strHost, int nPort)
{
    Close();
    if (strHost.empty() || nPort <= 0 || nPort > 65535)
    {
        m_nLastError = NET_EINVAL;
        return false;
    }
    // Resolving and connecting share one deadline: a name with many unreachable addresses, or a
    // resolver that does not answer, holds the send for one time-out, not one per address.
    const Deadline deadline = DeadlineFromNow();
    AddressList list(nullptr, ::freeaddrinfo);
    const int nResolved = Resolve(strHost, std::to_string(nPort), deadline, list);
    if (nResolved != 0)
    {
        m_nLastError = nResolved == EAI_AGAIN && RemainingMs(deadline) == 0 ? NET_ETIMEDOUT
                                                                            : NET_HOST_NOT_FOUND;
        return false;
    }
    return ConnectToFirst(list.get(), deadline);
}

int CPosixSocket::Send(const char* pData, int nLength)
{
    if (m_fd < 0)
    {
        m_nLastError = NET_ENOTCONN;
        return -1;
    }
    const Deadline deadline = DeadlineFromNow();
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
            if (!WaitFor(POLLOUT, deadline))
                return -1;
            continue;
        }
        m_nLastError = n < 0 ? WsaErrorFromErrno(errno) : NET_ESHUTDOWN;
        return -1;
    }
    return nLength;
}

void CPosixSocket::BeginReply()
{
    m_replyDeadline = DeadlineFromNow();
}

int CPosixSocket::Receive(char* pBuffer, int nMaximum)
{
    if (m_fd < 0)
    {
        m_nLastError = NET_ENOTCONN;
        return -1;
    }
    // All receives up to the next BeginReply read one reply: they share one deadline.
    if (!m_replyDeadline)
        m_replyDeadline = DeadlineFromNow();
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
        if (!WaitFor(POLLIN, *m_replyDeadline))
            return -1;
    }
}

void CPosixSocket::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_replyDeadline.reset();
}

std::unique_ptr<ISocket> CPosixSocketFactory::CreateSocket()
{
    return std::make_unique<CPosixSocket>();
}
