// SendCancel.cpp - the cancel request, one flag for the process: one send runs at a time.
#include "mail/SendCancel.h"

#include <atomic>

namespace
{
// Set from a signal handler too, which only a lock-free atomic allows.
std::atomic<bool> g_bCancel{false};
static_assert(std::atomic<bool>::is_always_lock_free);
} // namespace

void RequestSendCancel()
{
    g_bCancel.store(true);
}

void ClearSendCancel()
{
    g_bCancel.store(false);
}

bool SendCancelRequested()
{
    return g_bCancel.load();
}
