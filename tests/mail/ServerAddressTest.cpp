// ServerAddressTest.cpp - host and port of a server field.
#include "mail/ServerAddress.h"

#include <gtest/gtest.h>

TEST(SplitServerField, HostsPortsAndMistakes)
{
    struct Row
    {
        const char* pszField;
        bool bOk;
        const char* pszHost;
        int nPort;
    };
    const Row rows[] = {
        {"mail.example.jp", true, "mail.example.jp", 25},
        {"192.0.2.1", true, "192.0.2.1", 25},
        {"mail.example.jp:587", true, "mail.example.jp", 587},
        {"[::1]:2525", true, "::1", 2525},
        {"[2001:db8::1]", true, "2001:db8::1", 25},
        {"2001:db8::1", true, "2001:db8::1", 25}, // bare IPv6: no port
        {"host:65535", true, "host", 65535},
        {"", false, "", 0},
        {"host:", false, "", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:25x", false, "", 0},
        {":25", false, "", 0},
        {"[::1", false, "", 0},
        {"[::1]x", false, "", 0},
        {"[]:25", false, "", 0},
    };
    for (const Row& row : rows)
    {
        std::string strHost;
        int nPort = 0;
        ASSERT_EQ(SplitServerField(row.pszField, 25, strHost, nPort), row.bOk) << row.pszField;
        if (row.bOk)
        {
            EXPECT_EQ(strHost, row.pszHost);
            EXPECT_EQ(nPort, row.nPort);
        }
    }
}
