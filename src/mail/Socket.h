// Socket.h - the blocking TCP stream socket the mail session talks through, as an interface, so
// tests can script every receive. Error codes are the Windows Sockets numbers the session's
// messages are written for (10054 connection reset ...).
#pragma once
#include <memory>
#include <string>

// Error codes reported by ISocket::GetLastError.
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060; // also a send or receive that ran out of time
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;

class ISocket
{
  public:
    virtual ~ISocket() = default;

    // Makes a TCP stream socket; false on failure.
    virtual bool Create() = 0;
    // Connects to a dotted IPv4 or IPv6 address or a host name (the first address that connects);
    // false on failure, an unresolvable name included.
    virtual bool Connect(const std::string& strHost, int nPort) = 0;
    // Sends all nLength bytes; returns nLength, or -1 on failure. A send has a time-out of its
    // own and never touches the reply deadline.
    virtual int Send(const char* pData, int nLength) = 0;
    // Starts the deadline of one reply: every Receive until the next BeginReply must be done one
    // time-out from now, however the reply is dripped and whatever is sent meanwhile (the TLS
    // layer writes records of its own while it reads). The protocol layer calls it before it
    // reads each reply, and a TLS handshake calls it once for the whole handshake. A Receive on a
    // connection where it was never called starts the deadline itself.
    virtual void BeginReply() = 0;
    // Receives at most nMaximum bytes; returns the count, 0 when the peer has closed, -1 on
    // failure.
    virtual int Receive(char* pBuffer, int nMaximum) = 0;
    // Closes the socket; nothing when it is not open.
    virtual void Close() = 0;
    // The code of the last failure (WSAE...).
    virtual int GetLastError() const = 0;
};

class ISocketFactory
{
  public:
    virtual ~ISocketFactory() = default;
    virtual std::unique_ptr<ISocket> CreateSocket() = 0;
};
