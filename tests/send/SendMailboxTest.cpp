// SendMailboxTest.cpp - a worker's posts and calls run on the draining thread in order, a call
// returns only once it has run there, and the wait ends only when the worker has finished and
// nothing is left.
#include "send/SendMailbox.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

TEST(SendMailbox, JobsRunInOrderOnTheDrainingThreadAndTheEndWaitsForTheLast)
{
    CSendMailbox mailbox;
    const std::thread::id drainer = std::this_thread::get_id();
    std::string strRan;
    bool bOnDrainer = true;
    std::string strAnswer;
    std::thread worker([&] {
        mailbox.Post([&] { strRan += "a"; });
        mailbox.Call([&] {
            strRan += "b";
            bOnDrainer = bOnDrainer && std::this_thread::get_id() == drainer;
            strAnswer = "yes";
        });
        strRan += strAnswer == "yes" ? "" : "!"; // the call's result is there when it returns
        mailbox.Post([&] { strRan += "c"; });
        mailbox.Finish();
    });
    while (!mailbox.Drain())
        std::this_thread::yield();
    worker.join();
    EXPECT_EQ(strRan, "abc");
    EXPECT_TRUE(bOnDrainer);
    mailbox.Reset();
    EXPECT_FALSE(mailbox.Drain());
}
