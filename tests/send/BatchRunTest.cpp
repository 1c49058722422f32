// BatchRunTest.cpp - the run without a toolkit on a clock that only pretends to sleep: the tick
// loop's timing, and each start mode's dialog ending as Cancel before "/quit" closes the run.
#include "send/BatchRun.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace
{
class CFakeClock : public ITickClock
{
  public:
    long long NowMs() override { return m_nNow; }
    void SleepMs(int nMs) override { m_nNow += nMs; }
    long long m_nNow = 0;
};

std::string ReadAll(std::FILE* pFile)
{
    std::rewind(pFile);
    std::string text;
    char buf[256];
    for (std::size_t n = 0; (n = std::fread(buf, 1, sizeof(buf), pFile)) > 0;)
        text.append(buf, n);
    return text;
}
} // namespace

// Ticks come a period apart; those missed while a tick ran long come as one, and the next a whole
// period after it; a timer may stop itself; Quit ends the loop after the tick that asked.
TEST(TickLoop, TicksAPeriodApartWithoutMakingUpALongTick)
{
    CFakeClock clock;
    CTickLoop loop(clock);
    std::vector<long long> ticks;
    ASSERT_TRUE(loop.StartTimer(1, 1000, [&](int nId) {
        EXPECT_EQ(nId, 1);
        ticks.push_back(clock.m_nNow);
        if (ticks.size() == 2)
            clock.m_nNow += 2500; // a send ran in this tick
        if (ticks.size() == 4)
            loop.StopTimer(1);
    }));
    int nOther = 0;
    loop.StartTimer(2, 7000, [&](int) {
        ++nOther;
        loop.Quit();
    });
    EXPECT_FALSE(loop.StartTimer(3, 0, [](int) {}));
    loop.Run();
    EXPECT_EQ(ticks, (std::vector<long long>{1000, 2000, 4500, 5500}));
    EXPECT_EQ(nOther, 1);
    EXPECT_EQ(clock.m_nNow, 7000);
}

struct StartModeRow
{
    const char* pszName;
    const char* pszSwitch;
    const char8_t* pszSaid; // on standard error, UTF-8
};

class BatchStartMode : public testing::TestWithParam<StartModeRow>
{
};

// Each start mode's command runs at the first tick; its dialog cannot be shown and ends as
// Cancel, the mode ends, and the countdown to "/quit" then closes the run with status 0.
TEST_P(BatchStartMode, DialogEndsAsCancelAndQuitCloses)
{
    const StartModeRow& row = GetParam();
    CTempFolder dir;
    std::FILE* pOut = std::tmpfile();
    std::FILE* pErr = std::tmpfile();
    CFakeClock clock;
    {
        CHeadlessPlatform platform(pOut, pErr, clock);
        CBatchRun run(platform);
        ASSERT_TRUE(run.Start(dir.Dir(), std::string(row.pszSwitch).append(" /quit")));
        EXPECT_EQ(run.Run(), EXIT_ALL_SENT);
        EXPECT_EQ(run.Doc().GetStartMode(), START_NONE);
    }
    const std::string strErr = ReadAll(pErr);
    EXPECT_NE(strErr.find(std::string("Tarvell: ")
                              .append(reinterpret_cast<const char*>(row.pszSaid))
                              .append(reinterpret_cast<const char*>(
                                  u8": キャンセル (画面がありません)\n"))),
              std::string::npos)
        << strErr;
    EXPECT_EQ(clock.m_nNow, 4000) << "the mode's tick, then three to the quit";
    EXPECT_EQ(ReadBytes(dir.Path("Tarvell.cfg")).size(), 776u);
    std::fclose(pOut);
    std::fclose(pErr);
}

INSTANTIATE_TEST_SUITE_P(
    EveryMode, BatchStartMode,
    testing::Values(StartModeRow{"Options", "/option", u8"オプション"},
                    StartModeRow{"Sender", "/sender", u8"発送元設定"},
                    StartModeRow{"MainBookEdit", "/maddropen",
                                 u8"Tarvell メイン・アドレス帳 - Address.tvl"},
                    StartModeRow{"MainBookSelect", "/maddrselect",
                                 u8"Tarvell メイン・アドレス帳 - Address.tvl"},
                    StartModeRow{"GroupBookEdit", "/gaddropen", u8"ファイルを開く"},
                    StartModeRow{"GroupBookSelect", "/gaddrselect", u8"ファイルを開く"}),
    [](const testing::TestParamInfo<StartModeRow>& row) { return row.param.pszName; });
