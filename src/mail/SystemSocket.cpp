// SystemSocket.cpp - the socket's deadlines, waits and connect order, the same on every platform;
// the system calls are in PosixSocket.cpp and WinSocket.cpp.
#include "mail/SystemSocket.h"

#include "mail/SendCancel.h"
#include "mail/SocketPlatform.h"

#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace
{
constexpr int kDefaultTimeoutSeconds = 60;

std::int64_t DeadlineFromNow()
{
    return socket_platform::NowMs() + std::int64_t(NetTimeoutSeconds()) * 1000;
}

// The milliseconds left until the deadline: 0 when it has passed.
int RemainingMs(std::int64_t deadline)
{
    const std::int64_t nLeft = deadline - socket_platform::NowMs();
    return nLeft > 0 ? static_cast<int>(nLeft) : 0;
}

// A wait polls in slices this long, so a cancel request ends it soon.
constexpr int kPollSliceMs = 100;

// The next wait's time-out: the time left, at most one slice.
int PollSliceMs(std::int64_t deadline)
{
    const int nLeft = RemainingMs(deadline);
    return nLeft < kPollSliceMs ? nLeft : kPollSliceMs;
}

struct AddressesDeleter
{
    void operator()(addrinfo* pList) const { socket_platform::FreeAddresses(pList); }
};
using AddressList = std::unique_ptr<addrinfo, AddressesDeleter>;

// One name resolution on a thread of its own, since getaddrinfo cannot be given a time-out. A
// caller that stops waiting leaves the state to the thread, which frees it (and the addresses
// nobody took) when the lookup ends.
struct Resolution
{
    std::mutex mutex;
    std::condition_variable done;
    bool bDone = false;
    AddressList list;
};

enum class Resolved
{
    found,
    notFound,
    timedOut,
    cancelled,
};

Resolved Resolve(const std::string& strHost, const std::string& strPort, std::int64_t deadline,
                 const CSendCancel* pCancel, AddressList& list)
{
    // An address literal needs no lookup and no thread.
    list.reset(socket_platform::LookUp(strHost.c_str(), strPort.c_str(), true));
    if (list)
        return Resolved::found;
    auto pState = std::make_shared<Resolution>();
    try
    {
        std::thread([pState, strHost, strPort] {
            AddressList found(socket_platform::LookUp(strHost.c_str(), strPort.c_str(), false));
            const std::lock_guard<std::mutex> lock(pState->mutex);
            pState->list = std::move(found);
            pState->bDone = true;
            pState->done.notify_one();
        }).detach();
    }
    catch (const std::system_error&)
    {
        return Resolved::notFound; // no thread to resolve on
    }
    std::unique_lock<std::mutex> lock(pState->mutex);
    while (!pState->bDone)
    {
        if (pCancel != nullptr && pCancel->Requested())
            return Resolved::cancelled;
        const int nSlice = PollSliceMs(deadline);
        if (nSlice == 0)
            return Resolved::timedOut;
        pState->done.wait_for(lock, std::chrono::milliseconds(nSlice));
    }
    list = std::move(pState->list);
    return list ? Resolved::found : Resolved::notFound;
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

CSystemSocket::~CSystemSocket()
{
    Close();
}

bool CSystemSocket::Create()
{
    // The address family is only known once the host is resolved: Connect() makes the socket.
    Close();
    m_nLastError = 0;
    return true;
}

bool CSystemSocket::CancelRequested() const
{
    return m_pCancel != nullptr && m_pCancel->Requested();
}

bool CSystemSocket::WaitFor(Ready ready, Deadline deadline)
{
    for (;;)
    {
        if (CancelRequested())
        {
            m_nLastError = NET_EINTR;
            return false;
        }
        const int nLeft = PollSliceMs(deadline);
        const int n = nLeft > 0 ? WaitSlice(ready, nLeft) : 0;
        if (n > 0)
            return true;
        if (n == kFailed)
            return false;
        if (RemainingMs(deadline) == 0)
        {
            m_nLastError = NET_ETIMEDOUT;
            return false;
        }
        // A slice ended: look at the cancel request again.
    }
}

bool CSystemSocket::ConnectTo(const addrinfo& address, Deadline deadline)
{
    const int nStarted = StartConnect(address);
    if (nStarted == kFailed)
    {
        Close();
        return false;
    }
    if (nStarted == 0 && (!WaitFor(Ready::write, deadline) || !ConnectSucceeded()))
    {
        Close();
        return false;
    }
    // Sends are whole commands or large buffered pieces: waiting to merge small writes (Nagle)
    // would only hold the last piece of a message back for a delayed acknowledgement.
    SetNoDelay();
    return true;
}

CSystemSocket::Deadline CSystemSocket::StepDeadline()
{
    return DeadlineFromNow();
}

bool CSystemSocket::ConnectToFirst(const addrinfo* pList, Deadline deadline)
{
    Close(); // also forgets the last connection's reply deadline
    if (!socket_platform::Start())
    {
        m_nLastError = NET_NOTINITIALISED;
        return false;
    }
    bool bConnected = false;
    for (const addrinfo* p = pList; p != nullptr && !bConnected;
         p = socket_platform::NextAddress(p))
        bConnected = ConnectTo(*p, deadline);
    return bConnected;
}

bool CSystemSocket::Connect(const std::string& strHost, int nPort)
{
    Close();
    if (strHost.empty() || nPort <= 0 || nPort > 65535)
    {
        m_nLastError = NET_EINVAL;
        return false;
    }
    if (!socket_platform::Start())
    {
        m_nLastError = NET_NOTINITIALISED;
        return false;
    }
    // Resolving and connecting share one deadline: a name with many unreachable addresses, or a
    // resolver that does not answer, holds the send for one time-out, not one per address.
    const Deadline deadline = DeadlineFromNow();
    AddressList list;
    switch (Resolve(strHost, std::to_string(nPort), deadline, m_pCancel, list))
    {
    case Resolved::found:
        return ConnectToFirst(list.get(), deadline);
    case Resolved::notFound:
        m_nLastError = NET_HOST_NOT_FOUND;
        return false;
    case Resolved::timedOut:
        m_nLastError = NET_ETIMEDOUT;
        return false;
    case Resolved::cancelled:
        m_nLastError = NET_EINTR;
        return false;
    }
    return false;
}

int CSystemSocket::Send(const char* pData, int nLength)
{
    if (m_handle == -1)
    {
        m_nLastError = NET_ENOTCONN;
        return -1;
    }
    const Deadline deadline = DeadlineFromNow();
    int nSent = 0;
    while (nSent < nLength)
    {
        const int n = SendSome(pData + nSent, nLength - nSent);
        if (n == kFailed)
            return -1;
        if (n == kWouldBlock)
        {
            if (!WaitFor(Ready::write, deadline))
                return -1;
            continue;
        }
        nSent += n;
    }
    return nLength;
}

void CSystemSocket::BeginReply()
{
    m_replyDeadline = DeadlineFromNow();
}

int CSystemSocket::Receive(char* pBuffer, int nMaximum)
{
    if (m_handle == -1)
    {
        m_nLastError = NET_ENOTCONN;
        return -1;
    }
    // All receives up to the next BeginReply read one reply: they share one deadline.
    if (!m_replyDeadline)
        m_replyDeadline = DeadlineFromNow();
    for (;;)
    {
        const int n = ReceiveSome(pBuffer, nMaximum);
        if (n >= 0)
            return n;
        if (n == kFailed || !WaitFor(Ready::read, *m_replyDeadline))
            return -1;
    }
}

void CSystemSocket::Close()
{
    if (m_handle != -1)
        Release();
    m_handle = -1;
    m_replyDeadline.reset();
}

std::unique_ptr<ISocket> CSystemSocketFactory::CreateSocket()
{
    return std::make_unique<CSystemSocket>(m_pCancel);
}
