// CloseRequest.cpp - the flag that both platforms' handlers set.
#include "app/CloseRequest.h"

#include "app/CloseRequestFlag.h"

#include <atomic>

namespace
{
// Set from a signal handler too, which only a lock-free atomic allows.
std::atomic<bool> g_bRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<void (*)()> g_onClose{nullptr};
} // namespace

void SetCloseRequestHandler(void (*onClose)())
{
    g_onClose = onClose;
}

void NoteCloseRequest()
{
    g_bRequested = true;
    if (void (*onClose)() = g_onClose.load())
        onClose();
}

bool CloseRequested()
{
    return g_bRequested;
}
