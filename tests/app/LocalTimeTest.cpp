// LocalTimeTest.cpp - local time in the tests' zone (JST, UTC+9, set by the scripted platform).
#include "app/LocalTime.h"
#include "support/Environment.h"

#include <gtest/gtest.h>

TEST(LocalTime, FormatsInTheLocalZoneAndKeepsJapaneseText)
{
    SetEnvironment("TZ", "JST-9");
    ReadTimeZone();
    const std::time_t t = 1767225600; // 2026-01-01 00:00:00 UTC
    EXPECT_EQ(FormatLocalTime(t, "%Y年%m月%d日 %H時%M分%S秒"), "2026年01月01日 09時00分00秒");
    std::tm local{};
    ASSERT_TRUE(ToLocalTime(t, local));
    EXPECT_EQ(UtcOffsetSeconds(t, local), 9 * 3600);
}
