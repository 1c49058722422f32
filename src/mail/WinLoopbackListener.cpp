// WinLoopbackListener.cpp - the redirect listener over Windows Sockets 2, with select for
// time-outs.
#include "mail/LoopbackListener.h"

#include "mail/SystemSocket.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

struct CLoopbackListener::Impl
{
    SOCKET sListen = INVALID_SOCKET;
    SOCKET sClient = INVALID_SOCKET;
    int nPort = 0;

    static void CloseSocket(SOCKET& s)
    {
        if (s != INVALID_SOCKET)
            ::closesocket(s);
        s = INVALID_SOCKET;
    }
    // Waits for s to become readable (for a listener: a connection to take); false at the
    // time-out or on failure.
    static bool Readable(SOCKET s, int nMilliseconds)
    {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait{nMilliseconds / 1000, (nMilliseconds % 1000) * 1000};
        return ::select(0, &readable, nullptr, nullptr, &wait) > 0;
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
    if (!StartSystemSockets())
        return false;
    m_pImpl->sListen = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                    WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (m_pImpl->sListen == INVALID_SOCKET)
        return false;
    // No other program may take the port while it is ours.
    BOOL bExclusive = TRUE;
    ::setsockopt(m_pImpl->sListen, SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                 reinterpret_cast<const char*>(&bExclusive), sizeof(bExclusive));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // never another interface
    address.sin_port = 0;
    int nLength = sizeof(address);
    if (::bind(m_pImpl->sListen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_pImpl->sListen, 4) != 0 ||
        ::getsockname(m_pImpl->sListen, reinterpret_cast<sockaddr*>(&address), &nLength) != 0)
    {
        Impl::CloseSocket(m_pImpl->sListen);
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
    Impl::CloseSocket(m_pImpl->sClient);
    if (m_pImpl->sListen == INVALID_SOCKET ||
        !Impl::Readable(m_pImpl->sListen, nTimeoutSeconds * 1000))
        return false;
    m_pImpl->sClient = ::accept(m_pImpl->sListen, nullptr, nullptr);
    if (m_pImpl->sClient == INVALID_SOCKET)
        return false;
    std::string strHead;
    const int nWait = NetTimeoutSeconds() * 1000;
    while (strHead.find("\r\n\r\n") == std::string::npos && strHead.size() < 8192)
    {
        char buffer[1024];
        if (!Impl::Readable(m_pImpl->sClient, nWait))
            break;
        const int nGot = ::recv(m_pImpl->sClient, buffer, sizeof(buffer), 0);
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
    if (m_pImpl->sClient == INVALID_SOCKET)
        return;
    std::size_t nSent = 0;
    while (nSent < strBytes.size())
    {
        const int n = ::send(m_pImpl->sClient, strBytes.data() + nSent,
                             static_cast<int>(strBytes.size() - nSent), 0);
        if (n <= 0)
            break;
        nSent += static_cast<std::size_t>(n);
    }
    // The page is read whole before the close: no reset may drop its end.
    ::shutdown(m_pImpl->sClient, SD_SEND);
    Impl::CloseSocket(m_pImpl->sClient);
}

void CLoopbackListener::Close()
{
    Impl::CloseSocket(m_pImpl->sClient);
    Impl::CloseSocket(m_pImpl->sListen);
}
