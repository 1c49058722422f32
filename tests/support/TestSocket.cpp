// TestSocket.cpp - the loopback test servers' socket calls on POSIX and on Windows.
#include "support/TestSocket.h"

#include "mail/SystemSocket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
using SocketLength = int;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using SocketLength = socklen_t;
#endif

namespace
{
#ifdef _WIN32
SOCKET Native(TestSocket s)
{
    return static_cast<SOCKET>(s);
}
TestSocket Ours(SOCKET s)
{
    return s == INVALID_SOCKET ? kNoTestSocket : static_cast<TestSocket>(s);
}
#else
int Native(TestSocket s)
{
    return static_cast<int>(s);
}
TestSocket Ours(int fd)
{
    return fd < 0 ? kNoTestSocket : fd;
}
#endif
} // namespace

TestSocket ListenOnLoopback(int nBacklog, int& nPort)
{
#ifdef _WIN32
    // Windows Sockets must be started; on POSIX the test keeps its own SIGPIPE disposition, which
    // the programs it starts inherit.
    if (!StartSystemSockets())
        return kNoTestSocket;
    const TestSocket s =
        Ours(::WSASocketW(AF_INET, SOCK_STREAM, 0, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
#else
    const TestSocket s = Ours(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
#endif
    if (s == kNoTestSocket)
        return kNoTestSocket;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    SocketLength nLen = sizeof(addr);
    if (::bind(Native(s), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::listen(Native(s), nBacklog) != 0 ||
        ::getsockname(Native(s), reinterpret_cast<sockaddr*>(&addr), &nLen) != 0)
    {
        CloseTestSocket(s);
        return kNoTestSocket;
    }
    nPort = ntohs(addr.sin_port);
    return s;
}

bool WaitReadable(TestSocket s, int nMs)
{
#ifdef _WIN32
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(Native(s), &ready);
    timeval wait{nMs / 1000, (nMs % 1000) * 1000};
    return ::select(0, &ready, nullptr, nullptr, &wait) > 0;
#else
    pollfd pfd{Native(s), POLLIN, 0};
    return ::poll(&pfd, 1, nMs) > 0;
#endif
}

TestSocket AcceptConnection(TestSocket listener)
{
#ifdef _WIN32
    const TestSocket s = Ours(::accept(Native(listener), nullptr, nullptr));
    const BOOL bOne = TRUE;
    const char* pOne = reinterpret_cast<const char*>(&bOne);
    const int nOneSize = sizeof(bOne);
#else
    const TestSocket s = Ours(::accept4(Native(listener), nullptr, nullptr, SOCK_CLOEXEC));
    const int nOne = 1;
    const int* pOne = &nOne;
    const int nOneSize = sizeof(nOne);
#endif
    if (s != kNoTestSocket)
        ::setsockopt(Native(s), IPPROTO_TCP, TCP_NODELAY, pOne, nOneSize);
    return s;
}

long SendSome(TestSocket s, const char* pData, std::size_t nLength)
{
#ifdef _WIN32
    return ::send(Native(s), pData, static_cast<int>(nLength), 0);
#else
    return ::send(Native(s), pData, nLength, MSG_NOSIGNAL);
#endif
}

long ReceiveSome(TestSocket s, char* pBuffer, std::size_t nMaximum)
{
#ifdef _WIN32
    return ::recv(Native(s), pBuffer, static_cast<int>(nMaximum), 0);
#else
    return ::recv(Native(s), pBuffer, nMaximum, 0);
#endif
}

void CloseTestSocket(TestSocket s)
{
#ifdef _WIN32
    ::closesocket(Native(s));
#else
    ::close(Native(s));
#endif
}

void ResetTestSocket(TestSocket s)
{
    // A zero linger time turns the close into a reset.
    const linger lingerReset{1, 0};
    ::setsockopt(Native(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&lingerReset),
                 sizeof(lingerReset));
    CloseTestSocket(s);
}

bool ResetReachesThePeer()
{
#ifdef _WIN32
    // Tried once: a loopback connection whose accepted end is reset.
    static const bool bResets = [] {
        int nPort = 0;
        const TestSocket listener = ListenOnLoopback(1, nPort);
        if (listener == kNoTestSocket)
            return false;
        const SOCKET client = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<u_short>(nPort));
        bool bReset = false;
        if (::connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
            WaitReadable(listener, 1000))
        {
            ResetTestSocket(AcceptConnection(listener));
            char c = 0;
            bReset = WaitReadable(Ours(client), 1000) && ::recv(client, &c, 1, 0) < 0 &&
                     ::WSAGetLastError() == WSAECONNRESET;
        }
        ::closesocket(client);
        CloseTestSocket(listener);
        return bReset;
    }();
    return bResets;
#else
    return true;
#endif
}

void PauseMs(int nMs)
{
    // <chrono> does not build with the CP932 execution character set.
#ifdef _WIN32
    ::Sleep(static_cast<DWORD>(nMs));
#else
    ::usleep(static_cast<useconds_t>(nMs) * 1000);
#endif
}
