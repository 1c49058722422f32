// CloseRequestTest.cpp - an interrupt sets the flag and calls back instead of ending the program.
#include "app/CloseRequest.h"
#include "support/Environment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
std::atomic<int> g_nCalls{0};

void OnClose()
{
    ++g_nCalls;
}
} // namespace

TEST(CloseRequest, IsCaughtAndReported)
{
    CatchCloseRequests(OnClose);
    EXPECT_FALSE(CloseRequested());
    if (!SendCloseRequestToSelf())
        GTEST_SKIP() << "no console to send the request through";
    // Windows calls the handler on a thread of its own.
    for (int i = 0; i < 200 && g_nCalls == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(CloseRequested());
    EXPECT_EQ(g_nCalls, 1);
}
