// PosixSocket.h - the blocking TCP socket over POSIX: getaddrinfo (IPv4 and IPv6), and poll so
// that every step gives up after the network time-out instead of waiting forever. One deadline
// covers resolving the name and connecting to its addresses together; one covers each send call;
// and the receives after a BeginReply share one deadline, so a whole reply must arrive within the
// time-out however it is dripped and whatever is sent meanwhile. A send to a peer that has closed
// fails with an error; it never raises SIGPIPE.
#pragma once
#include "mail/Socket.h"

#include <cstdint>
#include <optional>

struct addrinfo;

// The time-out of one step (resolve and connect, one send call, one reply) in seconds:
// TARVELL_NET_TIMEOUT when it holds a positive number, else 60.
int NetTimeoutSeconds();

// The Windows Sockets code for an errno value; an errno without one maps to 20000 + errno, which no
// message is written for.
int WsaErrorFromErrno(int nErrno);

class CPosixSocket : public ISocket
{
  public:
    CPosixSocket() = default;
    ~CPosixSocket() override;
    CPosixSocket(const CPosixSocket&) = delete;
    CPosixSocket& operator=(const CPosixSocket&) = delete;

    bool Create() override;
    bool Connect(const std::string& strHost, int nPort) override;
    int Send(const char* pData, int nLength) override;
    void BeginReply() override;
    int Receive(char* pBuffer, int nMaximum) override;
    void Close() override;
    int GetLastError() const override { return m_nLastError; }

    // A moment in milliseconds on the monotonic clock.
    using Deadline = std::int64_t;

    // The deadline of a step that starts now.
    static Deadline StepDeadline();

    // The connect step after resolution: the addresses in turn until one connects, all within
    // the one deadline.
    bool ConnectToFirst(const addrinfo* pList, Deadline deadline);

  private:
    // Waits until the socket is ready for events; false (with the error set) when the deadline
    // passes or on failure.
    bool WaitFor(short nEvents, Deadline deadline);
    bool ConnectTo(const addrinfo& address, Deadline deadline);

    int m_fd = -1;
    int m_nLastError = 0;
    std::optional<Deadline> m_replyDeadline; // set by BeginReply, or the first receive
};

class CPosixSocketFactory : public ISocketFactory
{
  public:
    std::unique_ptr<ISocket> CreateSocket() override;
};
