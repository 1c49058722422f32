// WinSocket.cpp - the system calls of the socket on Windows: Windows Sockets 2, non-blocking
// sockets and select. Failure codes are WSAGetLastError's own numbers.
#include "mail/SocketPlatform.h"
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

namespace
{
SOCKET Handle(std::intptr_t nHandle)
{
    return static_cast<SOCKET>(nHandle);
}
} // namespace

namespace socket_platform
{
bool Start()
{
    // Once for the process: a static initialiser is thread-safe, and sockets are never cleaned
    // up before exit (a resolver thread may still be running then).
    static const bool bStarted = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return bStarted;
}

std::int64_t NowMs()
{
    return static_cast<std::int64_t>(::GetTickCount64());
}

addrinfo* LookUp(const char* pszHost, const char* pszPort, bool bLiteralOnly)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
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
    return socket_platform::Start();
}

int CSystemSocket::WaitSlice(Ready ready, int nMs)
{
    const SOCKET s = Handle(m_handle);
    fd_set wanted;
    FD_ZERO(&wanted);
    FD_SET(s, &wanted);
    // A connect that fails shows in the exception set, not the write set.
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(s, &failed);
    timeval wait{nMs / 1000, (nMs % 1000) * 1000};
    const bool bRead = ready == Ready::read;
    const int n = ::select(0, bRead ? &wanted : nullptr, bRead ? nullptr : &wanted,
                           bRead ? nullptr : &failed, &wait);
    if (n > 0)
        return 1; // ready, or an error the next call reports
    if (n == 0)
        return 0;
    m_nLastError = ::WSAGetLastError();
    return kFailed;
}

int CSystemSocket::StartConnect(const addrinfo& address)
{
    // Not inherited: a program the user starts from here must not hold the connection open.
    const SOCKET s = ::WSASocketW(address.ai_family, address.ai_socktype, address.ai_protocol,
                                  nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
    {
        m_nLastError = ::WSAGetLastError();
        return kFailed;
    }
    m_handle = static_cast<std::intptr_t>(s);
    u_long nNonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nNonBlocking) != 0)
    {
        m_nLastError = ::WSAGetLastError();
        return kFailed;
    }
    if (::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0)
        return 1;
    const int nError = ::WSAGetLastError();
    if (nError == WSAEWOULDBLOCK)
        return 0;
    m_nLastError = nError;
    return kFailed;
}

bool CSystemSocket::ConnectSucceeded()
{
    int nError = 0;
    int nLen = sizeof(nError);
    if (::getsockopt(Handle(m_handle), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&nError),
                     &nLen) == 0 &&
        nError == 0)
        return true;
    m_nLastError = nError != 0 ? nError : ::WSAGetLastError();
    return false;
}

void CSystemSocket::SetNoDelay()
{
    const BOOL bOne = TRUE;
    ::setsockopt(Handle(m_handle), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&bOne),
                 sizeof(bOne));
}

int CSystemSocket::SendSome(const char* pData, int nLength)
{
    const int n = ::send(Handle(m_handle), pData, nLength, 0);
    if (n > 0)
        return n;
    const int nError = n < 0 ? ::WSAGetLastError() : NET_ESHUTDOWN;
    if (nError == WSAEWOULDBLOCK)
        return kWouldBlock;
    m_nLastError = nError;
    return kFailed;
}

int CSystemSocket::ReceiveSome(char* pBuffer, int nMaximum)
{
    const int n = ::recv(Handle(m_handle), pBuffer, nMaximum, 0);
    if (n >= 0)
        return n;
    const int nError = ::WSAGetLastError();
    if (nError == WSAEWOULDBLOCK)
        return kWouldBlock;
    m_nLastError = nError;
    return kFailed;
}

void CSystemSocket::Release()
{
    ::closesocket(Handle(m_handle));
}
