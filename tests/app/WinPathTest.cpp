// WinPathTest.cpp - Windows' own path rules: '\\' separates folders except as the second byte of
// a double-byte character, drive and UNC paths are absolute, and the command line's arguments
// follow the program's name as the C runtime splits it; the read-only attribute protects a file.
#include "app/FileSystem.h"
#include "app/Process.h"
#include "app/WinText.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

TEST(WinPath, ABackslashSeparatesUnlessItEndsACharacter)
{
    EXPECT_EQ(PathInFolder("C:/app/keep/", "ソ表能.txt"), "C:/app/keep/ソ表能.txt");
    EXPECT_THROW(PathInFolder("C:/app/keep/", "..\\x.txt"), CFileException);
    EXPECT_EQ(LastFolderSeparator("C:\\app\\表"), 6u);
    EXPECT_EQ(LastFolderSeparator("表ソ"), std::string_view::npos);
    EXPECT_TRUE(IsAbsolutePath("C:\\Tarvell\\ca.pem"));
    EXPECT_TRUE(IsAbsolutePath("c:/Tarvell/ca.pem"));
    EXPECT_TRUE(IsAbsolutePath("\\\\server\\share\\ca.pem"));
    EXPECT_TRUE(IsAbsolutePath("/srv/ca.pem"));
    EXPECT_FALSE(IsAbsolutePath("ca.pem"));
    EXPECT_FALSE(IsAbsolutePath("C:ca.pem")); // relative to the drive's own folder
}

TEST(WinPath, TheArgumentsFollowTheProgramName)
{
    EXPECT_EQ(ArgumentsOf(L"\"C:\\Program Files\\Tarvell\\tarvell.exe\" /sendon /quit"),
              L"/sendon /quit");
    EXPECT_EQ(ArgumentsOf(L"tarvell.exe  /sendinf=a b  "), L"/sendinf=a b  ");
    EXPECT_EQ(ArgumentsOf(L"\"C:\\my dir\"\\tarvell.exe\t/x"), L"/x");
    EXPECT_EQ(ArgumentsOf(L"tarvell.exe"), L"");
}

TEST(WinPath, TheProgramFolderIsThisProgramsWithSlashes)
{
    std::string strError;
    const std::string strFolder = ProgramFolder(strError);
    ASSERT_FALSE(strFolder.empty()) << strError;
    EXPECT_EQ(strFolder.back(), '/');
    EXPECT_EQ(strFolder.find('\\'), std::string::npos);
    EXPECT_TRUE(IsRegularFile(strFolder + "tarvell_app_tests.exe"));
    // A folder the test may write: the data stay beside the program.
    EXPECT_EQ(DataFolder(strError), strFolder) << strError;
}

// The read-only attribute keeps a file from being replaced, as a file without write permission
// is kept on Linux.
TEST(WinPath, AReadOnlyFileIsNotReplaced)
{
    CTempFolder dir;
    WriteBytes(dir.Path("Address.tvl"), "kept");
    std::filesystem::permissions(dir.Path("Address.tvl"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_THROW(WriteFileReplacing(dir.Path("Address.tvl"), "new", 3), CFileException);
    EXPECT_EQ(ReadBytes(dir.Path("Address.tvl")), "kept");
    EXPECT_EQ(ListFolder(dir.Dir()), std::vector<std::string>{"Address.tvl"});
    std::filesystem::permissions(dir.Path("Address.tvl"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

// A keep copy's name may hold none of the characters Windows refuses in a file name.
TEST(WinPath, FileNamesHoldNoneOfWindowsReservedCharacters)
{
    for (const char c : std::string_view("/\\:*?\"<>|"))
        EXPECT_FALSE(IsFileNameCharacter(c)) << c;
    EXPECT_TRUE(IsFileNameCharacter('@'));
}
