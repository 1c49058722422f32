// PosixFileSystemTest.cpp - the file layer where only Linux can show it: full disks (the file-size
// limit in a child process), modes and the umask, FIFOs, devices and symbolic links.
#include "app/FileSystem.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
// Runs write in a child process whose files may not grow past nLimit bytes: true when it raised
// the file error of a full disk.
bool FailsAsDiskFull(rlim_t nLimit, const std::function<void()>& write)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{nLimit, nLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try
        {
            write();
        }
        catch (const CFileException& e)
        {
            ::_exit(e.m_cause == CFileException::diskFull ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
} // namespace

TEST(WriteFileReplacing, WritesWithTheGivenMode)
{
    CTempFolder dir;
    WriteBytes(dir.Path("rec"), std::string(10, 'o'));
    WriteFileReplacing(dir.Path("rec"), "new", 3, 0600);
    EXPECT_EQ(ReadBytes(dir.Path("rec")), "new");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(dir.Path("rec").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// A write that fails half-way (here: the file-size limit) leaves the old file whole.
TEST(WriteFileReplacing, AFailedWriteLeavesTheOldFileIntact)
{
    CTempFolder dir;
    WriteBytes(dir.Path("Tarvell.cfg"), std::string(776, 'o'));
    const std::string data(776, 'n');
    EXPECT_TRUE(FailsAsDiskFull(100, [&] {
        WriteFileReplacing(dir.Path("Tarvell.cfg"), data.data(), data.size());
    })) << "the write did not fail with a full-disk error";
    EXPECT_EQ(ReadBytes(dir.Path("Tarvell.cfg")), std::string(776, 'o'));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Dir()), {}), 1)
        << "temporary file left";
}

// The temporary file has a short name, so a file whose own name nearly fills the 255-byte limit
// can still be replaced; and the new file's mode is the one asked for, narrowed by the umask.
TEST(WriteFileReplacing, LongNamesFitAndTheUmaskIsRespected)
{
    CTempFolder dir;
    const std::string strLong = dir.Path(std::string(250, 'n'));
    WriteFileReplacing(strLong, "long", 4);
    EXPECT_EQ(ReadBytes(strLong), "long");

    const mode_t oldMask = ::umask(027);
    WriteFileReplacing(dir.Path("book.tvl"), "b", 1);
    WriteFileReplacing(dir.Path("SenderInf.tvl"), "s", 1, 0600);
    ::umask(oldMask);
    struct stat st
    {
    };
    ASSERT_EQ(::stat(dir.Path("book.tvl").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ASSERT_EQ(::stat(dir.Path("SenderInf.tvl").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// An append that the disk cuts short (here: the file-size limit) is taken back off, so the next
// entry does not follow a torn one.
TEST(AppendToFile, AShortWriteIsCutBackBeforeTheFileError)
{
    CTempFolder dir;
    WriteBytes(dir.Path("log.txt"), std::string(100, 'a'));
    const std::string entry(100, 'b');
    EXPECT_TRUE(FailsAsDiskFull(150, [&] {
        AppendToFile(dir.Path("log.txt"), entry.data(), entry.size());
    })) << "the append did not fail with a full-disk error";
    EXPECT_EQ(ReadBytes(dir.Path("log.txt")), std::string(100, 'a'));
}

// What the file layer meets where a file of the program should be, and what each operation makes
// of it: nothing is opened through a link, and a FIFO or device never holds the program in open.
struct PlantedEntryRow
{
    const char* pszName;
    const char* pszPlanted;   // "fifo", "device", "link-to-file", "folder-link", "folder"
    const char* pszOperation; // "read", "append", "empty"
    CFileException::Cause cause;
};

void PrintTo(const PlantedEntryRow& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class PlantedEntries : public testing::TestWithParam<PlantedEntryRow>
{
};

TEST_P(PlantedEntries, AreRefusedWithTheFileError)
{
    const PlantedEntryRow& row = GetParam();
    CTempFolder dir;
    WriteBytes(dir.Path("victim.txt"), "untouched");
    std::filesystem::create_directory(dir.Path("elsewhere"));
    const std::string planted = row.pszPlanted;
    std::string strPath = dir.Path("log/entry.txt");
    if (planted == "folder-link")
        std::filesystem::create_directory_symlink(dir.Path("elsewhere"), dir.Path("log"));
    else
        std::filesystem::create_directory(dir.Path("log"));
    if (planted == "fifo")
        ASSERT_EQ(::mkfifo(strPath.c_str(), 0600), 0);
    else if (planted == "device")
        strPath = "/dev/zero";
    else if (planted == "link-to-file")
        std::filesystem::create_symlink(dir.Path("victim.txt"), strPath);
    else if (planted == "folder")
        std::filesystem::create_directory(strPath);
    else if (planted == "folder-link")
        WriteBytes(dir.Path("elsewhere/entry.txt"), "untouched");
    const std::string operation = row.pszOperation;
    try
    {
        if (operation == "read")
        {
            CFileReader reader(strPath);
        }
        else if (operation == "append")
            AppendToFile(strPath, "mail", 4);
        else
            EmptyPrivateFile(strPath);
        FAIL() << "no file error";
    }
    catch (const CFileException& e)
    {
        EXPECT_EQ(e.m_cause, row.cause) << FileErrorText(e);
    }
    EXPECT_EQ(ReadBytes(dir.Path("victim.txt")), "untouched");
    if (planted == "folder-link")
    {
        EXPECT_EQ(ReadBytes(dir.Path("elsewhere/entry.txt")), "untouched");
    }
}

INSTANTIATE_TEST_SUITE_P(
    FileSystem, PlantedEntries,
    testing::Values(PlantedEntryRow{"ReadFifo", "fifo", "read", CFileException::notRegularFile},
                    PlantedEntryRow{"ReadDevice", "device", "read", CFileException::notRegularFile},
                    PlantedEntryRow{"ReadFolder", "folder", "read", CFileException::accessDenied},
                    PlantedEntryRow{"AppendThroughLink", "link-to-file", "append",
                                    CFileException::notRegularFile},
                    PlantedEntryRow{"AppendInLinkedFolder", "folder-link", "append",
                                    CFileException::notRegularFile},
                    PlantedEntryRow{"AppendToFifo", "fifo", "append",
                                    CFileException::notRegularFile},
                    PlantedEntryRow{"EmptyThroughLink", "link-to-file", "empty",
                                    CFileException::notRegularFile},
                    PlantedEntryRow{"EmptyInLinkedFolder", "folder-link", "empty",
                                    CFileException::notRegularFile}),
    [](const testing::TestParamInfo<PlantedEntryRow>& paramInfo) {
        return paramInfo.param.pszName;
    });

// Log and keep files hold mail: a new one is readable by its owner only, whatever the umask lets.
TEST(AppendToFile, NewFilesAreOwnerOnly)
{
    CTempFolder dir;
    const mode_t oldMask = ::umask(022);
    AppendToFile(dir.Path("log.txt"), "x", 1);
    EmptyPrivateFile(dir.Path("trace.txt"));
    ::umask(oldMask);
    struct stat st
    {
    };
    for (const char* pszName : {"log.txt", "trace.txt"})
    {
        ASSERT_EQ(::stat(dir.Path(pszName).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << pszName;
    }
}
