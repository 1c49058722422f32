// FileSystemTest.cpp - the file layer: sizes, safe replacement, appends, the file error.
#include "app/FileSystem.h"
#include "support/TempFolder.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(GetFileSizeOrZero, IsZeroForAnythingButANonEmptyFile)
{
    CTempFolder dir;
    EXPECT_EQ(GetFileSizeOrZero(dir.Path("missing")), 0);
    EXPECT_EQ(GetFileSizeOrZero(dir.Dir()), 0);
    WriteBytes(dir.Path("empty"), "");
    EXPECT_EQ(GetFileSizeOrZero(dir.Path("empty")), 0);
    WriteBytes(dir.Path("real"), std::string(776, 'x'));
    EXPECT_EQ(GetFileSizeOrZero(dir.Path("real")), 776);
    EXPECT_EQ(GetFileSizeOrZero(""), 0);
}

// The system's own name is the Unicode one (UTF-8 bytes on Linux, UTF-16 on Windows), whatever
// the system's ANSI code page.
TEST(FileSystem, JapaneseNamesReachTheDiskAsUnicode)
{
    CTempFolder dir;
    AppendToFile(dir.Path("表示.txt"), "ab", 2);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(dir.Dir()) / u8"表示.txt"));
    EXPECT_EQ(GetFileSizeOrZero(dir.Path("表示.txt")), 2);
}

TEST(AppendToFile, AddsToTheEndAndCreatesWhenMissing)
{
    CTempFolder dir;
    AppendToFile(dir.Path("log.txt"), "one\r\n", 5);
    AppendToFile(dir.Path("log.txt"), "two\r\n", 5);
    EXPECT_EQ(ReadBytes(dir.Path("log.txt")), "one\r\ntwo\r\n");
}

TEST(FileError, NamesTheFileAndTheCause)
{
    CTempFolder dir;
    try
    {
        AppendToFile(dir.Path("nofolder/log.txt"), "x", 1);
        FAIL() << "no file error";
    }
    catch (const CFileException& e)
    {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        // The message shows the path with the platform's separators.
        EXPECT_EQ(FileErrorText(e),
                  ShownPath(dir.Path("nofolder/log.txt")) + " が見つかりません。");
    }
    EXPECT_EQ(FileErrorText(CFileException(CFileException::accessDenied, "a.txt")),
              "a.txt へのｱｸｾｽは拒否されました。");
    EXPECT_THROW(CFileReader reader(dir.Dir()), CFileException);
}

TEST(PathInFolder, RefusesANameThatWouldLeaveTheFolder)
{
    EXPECT_EQ(PathInFolder("/app/keep/", "ソ表能.txt"), "/app/keep/ソ表能.txt");
    EXPECT_THROW(PathInFolder("/app/keep/", "../x.txt"), CFileException);
    EXPECT_THROW(PathInFolder("/app/", std::string(251, 'a')), CFileException);
}

// In a shared writable folder another user's file could be renamed over; it is refused with the
// file error as a write in place would be, and the file stays as it was.
TEST(WriteFileReplacing, AFileTheUserCannotWriteIsNotReplaced)
{
    const std::string strSkip = NoUnprivilegedUserReason();
    if (!strSkip.empty())
        GTEST_SKIP() << strSkip;
    CTempFolder dir;
    WriteBytes(dir.Path("Address.tvl"), "root's");
    OpenToEveryone(dir.Dir());
    const std::string strResult = RunAsNobody([&] {
        try
        {
            WriteFileReplacing(dir.Path("Address.tvl"), "mine", 4);
            return std::string("replaced");
        }
        catch (const CFileException& e)
        {
            return FileErrorText(e);
        }
    });
    EXPECT_EQ(strResult, dir.Path("Address.tvl") + " へのｱｸｾｽは拒否されました。");
    EXPECT_EQ(ReadBytes(dir.Path("Address.tvl")), "root's");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Dir()), {}), 1);
}

// Replacing and appending keep a file's bytes and its name exactly: an existing file is replaced
// (a plain rename refuses to on Windows), no CR is added before an LF (text mode would), and a
// Japanese or long name reaches the disk as the same characters.
struct StoredFileRow
{
    const char* pszName;
    const char* pszFile;      // CP932
    const char8_t* pszOsName; // the same name in UTF-8
    const char* pszOld;       // the file's bytes before, nullptr for none
    bool bAppend;             // AppendToFile, else WriteFileReplacing
    const char* pszBytes;
    const char* pszExpected;
};

void PrintTo(const StoredFileRow& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class StoredFiles : public testing::TestWithParam<StoredFileRow>
{
};

TEST_P(StoredFiles, KeepTheirBytesAndNames)
{
    const StoredFileRow& row = GetParam();
    CTempFolder dir;
    const std::string strPath = dir.Path(row.pszFile);
    if (row.pszOld != nullptr)
        WriteBytes(strPath, row.pszOld);
    const std::string strBytes = row.pszBytes;
    if (row.bAppend)
        AppendToFile(strPath, strBytes.data(), strBytes.size());
    else
        WriteFileReplacing(strPath, strBytes.data(), strBytes.size());
    EXPECT_EQ(ReadBytes(strPath), row.pszExpected);
    EXPECT_EQ(ListFolder(dir.Dir()), std::vector<std::string>{row.pszFile})
        << "temporary file left";
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(dir.Dir()) / row.pszOsName));
}

INSTANTIATE_TEST_SUITE_P(
    FileSystem, StoredFiles,
    testing::Values(StoredFileRow{"ReplaceOverAnExistingFile", "Tarvell.cfg", u8"Tarvell.cfg",
                                  "old bytes", false, "new", "new"},
                    StoredFileRow{"ReplaceKeepsLineEnds", "Delivery.ini", u8"Delivery.ini", nullptr,
                                  false, "a\nb\r\nc\r", "a\nb\r\nc\r"},
                    StoredFileRow{"AppendKeepsLineEnds", "Tarvell_202601.txt",
                                  u8"Tarvell_202601.txt", "one\r\n", true, "two\n\r\n",
                                  "one\r\ntwo\n\r\n"},
                    // 表 and ソ end in 0x5C, the byte of '\\'.
                    StoredFileRow{"ReplaceJapaneseName", "表示ソ.tvl", u8"表示ソ.tvl", "old", false,
                                  "\x82\xA0", "\x82\xA0"},
                    StoredFileRow{"AppendJapaneseName", "@営業部.txt", u8"@営業部.txt", nullptr,
                                  true, "x", "x"}),
    [](const testing::TestParamInfo<StoredFileRow>& paramInfo) { return paramInfo.param.pszName; });
