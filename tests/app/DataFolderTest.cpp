// DataFolderTest.cpp - where the program keeps its files: beside a binary the user may write,
// else in the XDG data folder.
#include "app/Process.h"

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(DataFolder, WritableProgramFolderElseXdgDataHomeElseHome)
{
    EXPECT_EQ(ChooseDataFolder("/home/me/tarvell/", true, "/x", "/home/me"), "/home/me/tarvell/");
    EXPECT_EQ(ChooseDataFolder("/opt/tarvell/", false, "/home/me/data", "/home/me"),
              "/home/me/data/tarvell/");
    // A relative XDG_DATA_HOME is to be ignored.
    EXPECT_EQ(ChooseDataFolder("/opt/tarvell/", false, "data", "/home/me"),
              "/home/me/.local/share/tarvell/");
    // Under /usr even root, who may write there, keeps its files in its home.
    EXPECT_EQ(ChooseDataFolder("/usr/bin/", true, nullptr, "/root"), "/root/.local/share/tarvell/");
    EXPECT_EQ(ChooseDataFolder("/opt/tarvell/", false, nullptr, nullptr), "");
}

// In a child, so the test process itself stays dumpable for the debugger.
TEST(ProtectSecretsInMemory, TakesTheProcessOutOfCoreDumps)
{
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
    {
        ProtectSecretsInMemory();
        ::_exit(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
