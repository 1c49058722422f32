// StartupRunTest.cpp - the built program in a fresh folder, run without a display and stopped
// with SIGTERM, writes its records and makes its folders.
#include "support/ProgramRun.h"
#include "support/TempFolder.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Sends SIGTERM once the program has built its document (its log/ folder exists, so its signal
// handlers are in place), or after 10 s.
std::function<void(pid_t)> TerminateWhenStarted(const std::string& strDir)
{
    return [strDir](pid_t pid) {
        for (int i = 0; i < 200 && !std::filesystem::exists(strDir + "log"); ++i)
            ::usleep(50 * 1000);
        ::usleep(100 * 1000);
        ::kill(pid, SIGTERM);
    };
}
} // namespace

TEST(StartupRun, SigtermClosesLikeTheCloseBoxAndWritesBothRecords)
{
    CTempFolder dir;
    const ProgramResult result = RunProgram(dir.Dir(), {}, {}, 30, TerminateWhenStarted(dir.Dir()));
    ASSERT_FALSE(result.bTimedOut) << result.strErr;
    EXPECT_TRUE(result.bExited) << result.strErr;
    EXPECT_EQ(result.nExitCode, 0) << result.strErr;

    const std::string cfg = ReadBytes(dir.Path("Tarvell.cfg"));
    ASSERT_EQ(cfg.size(), 776u);
    EXPECT_EQ(cfg.substr(0, 4), std::string("\x40\0\0\0", 4));
    EXPECT_EQ(cfg.substr(4), std::string(772, '\0'));
    EXPECT_EQ(ReadBytes(dir.Path("SenderInf.tvl")).size(), 896u);
    struct stat st
    {
    };
    ASSERT_EQ(::stat(dir.Path("SenderInf.tvl").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path("keep")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path("log")));
}

TEST(StartupRun, AWrongSizedSettingsFileIsReportedOnStandardError)
{
    CTempFolder dir;
    std::ofstream(dir.Path("Tarvell.cfg"), std::ios::binary) << std::string(775, 'x');
    const ProgramResult result = RunProgram(dir.Dir(), {}, {}, 30, TerminateWhenStarted(dir.Dir()));
    EXPECT_TRUE(result.bExited);
    const std::string strExpected(
        reinterpret_cast<const char*>(u8"Tarvell: 環境設定ファイルのバージョンが違います。\n"));
    EXPECT_NE(result.strErr.find(strExpected), std::string::npos) << result.strErr;
    EXPECT_EQ(ReadBytes(dir.Path("Tarvell.cfg")).size(), 776u);
}

// Records that cannot be written are reported, and a run without a display says so in its exit
// status (2: nothing failed to send, but something was not written) instead of ending as a
// success.
TEST(StartupRun, RecordsThatCannotBeWrittenGiveExitStatusTwo)
{
    CTempFolder dir;
    std::filesystem::create_directories(dir.Path("SenderInf.tvl/blocked"));
    const ProgramResult result = RunProgram(dir.Dir(), {}, {}, 30, TerminateWhenStarted(dir.Dir()));
    EXPECT_TRUE(result.bExited) << result.strErr;
    EXPECT_EQ(result.nExitCode, 2);
    EXPECT_NE(result.strErr.find(dir.Path("SenderInf.tvl")), std::string::npos) << result.strErr;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("Tarvell.cfg")))
        << "written after a failed sender file";
}

// A sender file that exists but cannot be read (written by root with mode 0600, the program run
// as another user) fails the start-up with the file error instead of being replaced by an empty
// record; the automatic send that "/sendon" asked for never ran, which the exit status 3 says.
TEST(StartupRun, AnUnreadableSenderFileFailsTheStartAndIsKept)
{
    const std::string strSkip = NoUnprivilegedUserReason();
    if (!strSkip.empty())
        GTEST_SKIP() << strSkip;
    CTempFolder dir;
    const std::string strRecord(896, 's');
    WriteFileReplacing(dir.Path("SenderInf.tvl"), strRecord.data(), strRecord.size(), 0600);
    InstallProgram(dir.Dir());
    OpenToEveryone(dir.Dir());
    const ProgramResult result =
        RunProgram(dir.Dir(), {"/sendon", "/quit", "/sendinf=inf.txt"}, {}, 30, nullptr, true);
    EXPECT_TRUE(result.bExited) << result.strErr;
    EXPECT_EQ(result.nExitCode, 3) << result.strErr;
    EXPECT_NE(result.strErr.find("SenderInf.tvl"), std::string::npos) << result.strErr;
    EXPECT_NE(
        result.strErr.find(reinterpret_cast<const char*>(u8"空のﾄﾞｷｭﾒﾝﾄの作成に失敗しました。")),
        std::string::npos)
        << result.strErr;
    EXPECT_EQ(ReadBytes(dir.Path("SenderInf.tvl")), strRecord);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("Tarvell.cfg")));
}
