// SendCancel.h - a request to end one running send at its next step. The send job (or the
// headless run) owns the token; the window's 中止 button, Escape and the close path request it
// from the GUI thread while the send runs on another, and the socket waits, the platform of the
// send and the send procedure look at it.
#pragma once

#include <atomic>

class CSendCancel
{
  public:
    CSendCancel() = default;
    CSendCancel(const CSendCancel&) = delete;
    CSendCancel& operator=(const CSendCancel&) = delete;

    // Asks the send to stop; the next socket wait fails with NET_EINTR.
    void Request() { m_bRequested.store(true); }
    // Withdraws the request, before a new send command starts.
    void Clear() { m_bRequested.store(false); }
    bool Requested() const
    {
        if (m_bRequested.load())
            return true;
        bool (*const outer)() = m_outer.load();
        return outer != nullptr && outer();
    }

    // The token also counts as requested while outer() is true: a run whose send cannot be
    // reached from a signal handler follows the process's close request this way. outer must be
    // safe to call from any thread.
    void Follow(bool (*outer)()) { m_outer.store(outer); }

  private:
    std::atomic<bool> m_bRequested{false};
    std::atomic<bool (*)()> m_outer{nullptr};
};
