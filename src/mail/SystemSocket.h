// SystemSocket.h - the blocking TCP socket over the system's sockets (POSIX, or Windows Sockets
// 2): getaddrinfo (IPv4 and IPv6), and waits in slices of 100 ms so that every step gives up after
// the network time-out instead of waiting forever, and a cancel request ends it soon. One deadline
// covers resolving the name and connecting to its addresses together; one covers each send call;
// and the receives after a BeginReply share one deadline, so a whole reply must arrive within the
// time-out however it is dripped and whatever is sent meanwhile. A send to a peer that has closed
// fails with an error; it never raises SIGPIPE.
#pragma once
#include "mail/Socket.h"

#include <cstdint>
#include <optional>

class CSendCancel;
struct addrinfo;

// The time-out of one step (resolve and connect, one send call, one reply) in seconds:
// TARVELL_NET_TIMEOUT when it holds a positive number, else 60.
int NetTimeoutSeconds();

// Readies the process for sockets: on Windows starts Windows Sockets 2.2 (once), on POSIX ignores
// SIGPIPE for writes other than the sockets' own. A socket starts Windows Sockets itself when
// needed; a program calls this at start-up to report a failure before any send.
bool StartSystemSockets();

// The Windows Sockets code for an errno value (POSIX only); an errno without one maps to
// 20000 + errno, which no message is written for.
int WsaErrorFromErrno(int nErrno);

class CSystemSocket : public ISocket
{
  public:
    // pCancel: the running send's cancel request, which ends any wait (nullptr: none).
    explicit CSystemSocket(const CSendCancel* pCancel = nullptr) : m_pCancel(pCancel) {}
    ~CSystemSocket() override;
    CSystemSocket(const CSystemSocket&) = delete;
    CSystemSocket& operator=(const CSystemSocket&) = delete;

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
    enum class Ready
    {
        read,
        write,
    };
    // What the platform's calls return besides a count.
    static constexpr int kFailed = -1;     // m_nLastError is set
    static constexpr int kWouldBlock = -2; // nothing can move before a wait

    // Waits until the socket is ready, polling the cancel request between slices; false (with
    // the error set) when the deadline passes, on a cancel request or on failure.
    bool WaitFor(Ready ready, Deadline deadline);
    bool ConnectTo(const addrinfo& address, Deadline deadline);

    // The platform's part (PosixSocket.cpp, WinSocket.cpp).
    // One wait of at most nMs: 1 when ready (or with an error the next call reports), 0 when
    // the time passed, kFailed.
    int WaitSlice(Ready ready, int nMs);
    // Opens a non-blocking socket for the address and starts connecting: 1 connected, 0 under
    // way, kFailed.
    int StartConnect(const addrinfo& address);
    // After the wait of a connect under way: whether it succeeded (else the error is set).
    bool ConnectSucceeded();
    void SetNoDelay();
    // One send or receive call: the count, kWouldBlock or kFailed (a receive gives 0 when the
    // peer has closed).
    int SendSome(const char* pData, int nLength);
    int ReceiveSome(char* pBuffer, int nMaximum);
    void Release(); // closes the open handle

    bool CancelRequested() const;

    const CSendCancel* m_pCancel;
    std::intptr_t m_handle = -1; // the descriptor or SOCKET; -1 (INVALID_SOCKET) when closed
    int m_nLastError = 0;
    std::optional<Deadline> m_replyDeadline; // set by BeginReply, or the first receive
};

// Makes system sockets that all end their waits on one send's cancel request.
class CSystemSocketFactory : public ISocketFactory
{
  public:
    explicit CSystemSocketFactory(const CSendCancel* pCancel = nullptr) : m_pCancel(pCancel) {}
    std::unique_ptr<ISocket> CreateSocket() override;

  private:
    const CSendCancel* m_pCancel;
};
