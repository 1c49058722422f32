// PosixCloseRequest.cpp - SIGINT and SIGTERM as close requests.
#include "app/CloseRequest.h"

#include <atomic>
#include <csignal>

namespace
{
// Written by the signal handler, which only a lock-free atomic allows.
std::atomic<bool> g_bRequested{false};
std::atomic<void (*)()> g_onRequest{nullptr};
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<void (*)()>::is_always_lock_free);

void OnCloseSignal(int /*nSignal*/)
{
    g_bRequested.store(true);
    if (void (*onRequest)() = g_onRequest.load())
        onRequest();
}
} // namespace

void CatchCloseRequests(void (*onRequest)())
{
    g_onRequest.store(onRequest);
    struct sigaction action
    {
    };
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool CloseRequested()
{
    return g_bRequested.load();
}
