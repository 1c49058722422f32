// Socket.h - the blocking TCP stream socket the mail session talks through, as an interface, so
// tests can script every receive. Error codes are the Windows Sockets numbers the session's
// messages are written for (10054 connection reset ...).
#pragma once
#include <memory>
#include <string>

// Error codes reported by ISocket::GetLastError: the Windows Sockets numbers, under names of our
// own so that they never meet winsock2.h's macros.
constexpr int NET_EINTR = 10004;
constexpr int NET_EBADF = 10009;
constexpr int NET_EACCES = 10013;
constexpr int NET_EFAULT = 10014;
constexpr int NET_EINVAL = 10022;
constexpr int NET_EMFILE = 10024;
constexpr int NET_EWOULDBLOCK = 10035;
constexpr int NET_EINPROGRESS = 10036;
constexpr int NET_ENOTSOCK = 10038;
constexpr int NET_EMSGSIZE = 10040;
constexpr int NET_EOPNOTSUPP = 10045;
constexpr int NET_EADDRINUSE = 10048;
constexpr int NET_EADDRNOTAVAIL = 10049;
constexpr int NET_ENETDOWN = 10050;
constexpr int NET_ENETUNREACH = 10051;
constexpr int NET_ECONNABORTED = 10053;
constexpr int NET_ECONNRESET = 10054;
constexpr int NET_ENOBUFS = 10055;
constexpr int NET_ENOTCONN = 10057;
constexpr int NET_ESHUTDOWN = 10058;
constexpr int NET_ETIMEDOUT = 10060; // also a send or receive that ran out of time
constexpr int NET_ECONNREFUSED = 10061;
constexpr int NET_EHOSTUNREACH = 10065;
constexpr int NET_NOTINITIALISED = 10093;
constexpr int NET_HOST_NOT_FOUND = 11001;

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
    // The code of the last failure (NET_E..., the Windows Sockets number).
    virtual int GetLastError() const = 0;
};

class ISocketFactory
{
  public:
    virtual ~ISocketFactory() = default;
    virtual std::unique_ptr<ISocket> CreateSocket() = 0;
};
