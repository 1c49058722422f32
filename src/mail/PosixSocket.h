// PosixSocket.h - the blocking TCP socket over POSIX: getaddrinfo (IPv4 and IPv6), and poll so
// that connect, send and receive each give up after the network time-out instead of waiting
// forever. A send to a peer that has closed fails with an error; it never raises SIGPIPE.
#pragma once
#include "mail/Socket.h"

// The time-out of one connect, send or receive in seconds: TARVELL_NET_TIMEOUT when it holds a
// positive number, else 60.
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
    int Receive(char* pBuffer, int nMaximum) override;
    void Close() override;
    int GetLastError() const override { return m_nLastError; }

  private:
    // Waits until the socket is ready for events; false (with the error set) on time-out or
    // failure.
    bool WaitFor(short nEvents);
    bool ConnectTo(const struct addrinfo& address);

    int m_fd = -1;
    int m_nLastError = 0;
};

class CPosixSocketFactory : public ISocketFactory
{
  public:
    std::unique_ptr<ISocket> CreateSocket() override;
};
