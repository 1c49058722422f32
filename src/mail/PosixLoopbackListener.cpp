// PosixLoopbackListener.cpp - the redirect listener over POSIX sockets, with poll for time-outs.
#include "mail/LoopbackListener.h"

#include "mail/SystemSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

struct CLoopbackListener::Impl
{
    int fdListen = -1;
    int fdClient = -1;
    int nPort = 0;

    static void CloseFd(int& fd)
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    // Waits for fd to become readable; false at the time-out or on failure.
    static bool Readable(int fd, int nMilliseconds)
    {
        pollfd pfd{fd, POLLIN, 0};
        int nReady = 0;
        while ((nReady = ::poll(&pfd, 1, nMilliseconds)) < 0 && errno == EINTR)
        {
        }
        return nReady > 0;
    }
};

CLoopbackListener::CLoopbackListener() : m_pImpl(std::make_unique<Impl>()) {}

CLoopbackListener::~CLoopbackListener()
{
    Close();
}

bool CLoopbackListener::Listen()
{
    Close();
    m_pImpl->fdListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_pImpl->fdListen < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // never another interface
    address.sin_port = 0;
    socklen_t nLength = sizeof(address);
    if (::bind(m_pImpl->fdListen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_pImpl->fdListen, 4) != 0 ||
        ::getsockname(m_pImpl->fdListen, reinterpret_cast<sockaddr*>(&address), &nLength) != 0)
    {
        Impl::CloseFd(m_pImpl->fdListen);
        return false;
    }
    m_pImpl->nPort = ntohs(address.sin_port);
    return true;
}

int CLoopbackListener::Port() const
{
    return m_pImpl->nPort;
}

bool CLoopbackListener::NextRequest(int nTimeoutSeconds, std::string& strRequestLine)
{
    strRequestLine.clear();
    Impl::CloseFd(m_pImpl->fdClient);
    if (m_pImpl->fdListen < 0 || !Impl::Readable(m_pImpl->fdListen, nTimeoutSeconds * 1000))
        return false;
    m_pImpl->fdClient = ::accept4(m_pImpl->fdListen, nullptr, nullptr, SOCK_CLOEXEC);
    if (m_pImpl->fdClient < 0)
        return false;
    std::string strHead;
    const int nWait = NetTimeoutSeconds() * 1000;
    while (strHead.find("\r\n\r\n") == std::string::npos && strHead.size() < 8192)
    {
        char buffer[1024];
        if (!Impl::Readable(m_pImpl->fdClient, nWait))
            break;
        const ssize_t nGot = ::recv(m_pImpl->fdClient, buffer, sizeof(buffer), 0);
        if (nGot < 0 && errno == EINTR)
            continue;
        if (nGot <= 0)
            break;
        strHead.append(buffer, static_cast<std::size_t>(nGot));
    }
    const std::size_t nEnd = strHead.find("\r\n");
    if (nEnd == std::string::npos)
        return true; // a connection without a request line: the caller decides
    strRequestLine = strHead.substr(0, nEnd);
    return true;
}

void CLoopbackListener::Reply(const std::string& strBytes)
{
    if (m_pImpl->fdClient < 0)
        return;
    std::size_t nSent = 0;
    while (nSent < strBytes.size())
    {
        const ssize_t n = ::send(m_pImpl->fdClient, strBytes.data() + nSent,
                                 strBytes.size() - nSent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        nSent += static_cast<std::size_t>(n);
    }
    Impl::CloseFd(m_pImpl->fdClient);
}

void CLoopbackListener::Close()
{
    Impl::CloseFd(m_pImpl->fdClient);
    Impl::CloseFd(m_pImpl->fdListen);
}
