// TarvellDocTest.cpp - the document: command line, record files, folders, the close step.
#include "app/TarvellDoc.h"
#include "support/Environment.h"
#include "support/ScriptedPlatform.h"
#include "support/TempFolder.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace
{
// Every text ends early, and the bytes after each end are not zero.
void FillWithBytesAfterTheEnds(SenderInf& sender)
{
    std::memset(static_cast<void*>(&sender), 0x5A, sizeof(sender));
    std::memcpy(sender.szName, "送信者", 7);
    sender.szMailAddress[3] = '\0';
    sender.szSmtpServer[0] = '\0';
    sender.szPop3Server[100] = '\0';
    sender.szLoginName[126] = '\0';
    sender.szPassword[1] = '\0';
}

class DocTest : public ::testing::Test
{
  protected:
    CTarvellDoc MakeDoc(const std::string& strCmdLine = "")
    {
        return CTarvellDoc(m_platform, m_dir.Dir(), strCmdLine);
    }
    CTempFolder m_dir;
    CScriptedPlatform m_platform;
};

struct CommandLineCase
{
    const char* pszName;
    std::string strCmdLine;
    std::int32_t nStartMode;
    std::int32_t bQuit;
    std::string strSendInf; // "@" stands for the program folder
    AutoSendState autoSend;
};

void PrintTo(const CommandLineCase& c, std::ostream* pOut)
{
    *pOut << c.pszName;
}

class CommandLineTest : public DocTest, public ::testing::WithParamInterface<CommandLineCase>
{
};
} // namespace

TEST_P(CommandLineTest, ParsesSwitchesAndTheSendInformationPath)
{
    const CommandLineCase& c = GetParam();
    std::filesystem::create_directory(m_dir.Path("sub"));
    WriteBytes(m_dir.Path("list.txt"), "Name=a\r\n");
    CTarvellDoc doc = MakeDoc(c.strCmdLine);
    std::string strExpected = c.strSendInf;
    if (!strExpected.empty() && strExpected[0] == '@')
        strExpected = m_dir.Dir() + strExpected.substr(1);
    EXPECT_EQ(doc.GetStartMode(), c.nStartMode);
    EXPECT_EQ(doc.GetQuit(), c.bQuit);
    EXPECT_EQ(std::string(doc.m_szSendInfFile), strExpected);
    EXPECT_EQ(doc.GetAutoSend(), c.autoSend);
    EXPECT_EQ(doc.m_strCmdLine, c.strCmdLine);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"Empty", "", 0, 0, "", AutoSendState::Off},
        CommandLineCase{"SenderThenOption", "/sender /option", 12, 0, "", AutoSendState::Off},
        CommandLineCase{"OptionThenSender", "/option /sender", 12, 0, "", AutoSendState::Off},
        CommandLineCase{"LaterInFixedOrderWins", "/gaddrselect /maddropen", 4, 0, "",
                        AutoSendState::Off},
        CommandLineCase{"CaseMatters", "/SENDER", 0, 0, "", AutoSendState::Off},
        CommandLineCase{"FoundInsideALongerWord", "/senderx", 12, 0, "", AutoSendState::Off},
        CommandLineCase{"EachStartSwitch", "/gaddropen", 2, 0, "", AutoSendState::Off},
        CommandLineCase{"MainSelect", "/maddrselect", 3, 0, "", AutoSendState::Off},
        CommandLineCase{"QuitOnly", "/quit", 0, 1, "", AutoSendState::Off},
        CommandLineCase{"RelativeFileThatExists", "/sendinf=list.txt /sendon", 0, 0, "@list.txt",
                        AutoSendState::Requested},
        CommandLineCase{"RelativeFileMissing", "/sendinf=none.txt /sendon", 0, 0, "@none.txt",
                        AutoSendState::Off},
        CommandLineCase{"SendonWithoutFile", "/sendon", 0, 0, "", AutoSendState::Off},
        CommandLineCase{"DriveLetterEndsAtSlash", "/sendinf=C:\\in\\a.txt/quit", 0, 1,
                        "C:\\in\\a.txt", AutoSendState::Off},
        CommandLineCase{"UncPath", "/sendinf=\\\\server\\a.txt", 0, 0, "\\\\server\\a.txt",
                        AutoSendState::Off},
        CommandLineCase{"SlashRightAfterEqualsTakesTheRest", "/sendinf=/sendon", 0, 0, "/sendon",
                        AutoSendState::Off},
        CommandLineCase{"AbsolutePosixPathLast", "/sendon /quit /sendinf=LIST", 0, 1, "@LIST",
                        AutoSendState::Off},
        CommandLineCase{"FolderIsNoFile", "/sendinf=sub /sendon", 0, 0, "@sub", AutoSendState::Off},
        CommandLineCase{"QuotesAreOrdinary", "/sendinf=\"list.txt\" /sendon", 0, 0, "@\"list.txt\"",
                        AutoSendState::Off},
        CommandLineCase{"IdeographicSpaceStays", "/sendinf=送信　 /quit", 0, 1, "@送信　",
                        AutoSendState::Off},
        CommandLineCase{"EmptyValueIsTheFolder", "/sendinf= /sendon", 0, 0, "@",
                        AutoSendState::Off}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.pszName); });

TEST_F(DocTest, AnAbsolutePosixPathGivenLastIsTakenWhole)
{
    WriteBytes(m_dir.Path("inf.txt"), "Name=a\r\n");
    CTarvellDoc doc = MakeDoc("/sendon /quit /sendinf=" + m_dir.Path("inf.txt"));
    EXPECT_EQ(std::string(doc.m_szSendInfFile), m_dir.Path("inf.txt"));
    EXPECT_EQ(doc.GetAutoSend(), AutoSendState::Requested);
    EXPECT_EQ(doc.GetQuit(), 1);
}

TEST_F(DocTest, AnOverLongSendInformationPathIsRefusedWithAMessage)
{
    m_platform.m_bAllowMessages = true;
    CTarvellDoc doc = MakeDoc("/sendinf=" + std::string(300, 'a') + " /sendon");
    EXPECT_STREQ(doc.m_szSendInfFile, "");
    EXPECT_EQ(doc.GetAutoSend(), AutoSendState::Off);
    ASSERT_EQ(m_platform.m_messages.size(), 1u);
}

TEST_F(DocTest, WithoutFilesTheDefaultsAreUsedAndBothFilesWrittenAtTheEnd)
{
    CTarvellDoc doc = MakeDoc();
    EXPECT_EQ(doc.m_cfg.nWindowLeft, 64);
    EXPECT_EQ(doc.m_cfg.nWindowTop, 0);
    EXPECT_STREQ(doc.m_sender.szName, "");
    for (const char* pszFolder : {"keep", "log"})
    {
        EXPECT_TRUE(std::filesystem::is_directory(m_dir.Path(pszFolder)));
        if (HasPosixFileModes())
        {
            EXPECT_EQ(std::filesystem::status(m_dir.Path(pszFolder)).permissions() &
                          std::filesystem::perms::all,
                      std::filesystem::perms::owner_all)
                << pszFolder << " is not owner-only";
        }
    }
    doc.SaveRecords();
    const std::string cfg = ReadBytes(m_dir.Path("Tarvell.cfg"));
    ASSERT_EQ(cfg.size(), 776u);
    EXPECT_EQ(cfg.substr(0, 8), std::string("\x40\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(cfg.substr(8), std::string(768, '\0'));
    EXPECT_EQ(ReadBytes(m_dir.Path("SenderInf.tvl")).size(), 896u);
    if (HasPosixFileModes())
    {
        EXPECT_EQ(std::filesystem::status(m_dir.Path("SenderInf.tvl")).permissions() &
                      std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    EXPECT_TRUE(m_platform.m_messages.empty());
}

TEST_F(DocTest, ASettingsFileOfTheWrongSizeGivesTheVersionMessageOnce)
{
    for (std::size_t nSize : {775u, 777u})
    {
        CScriptedPlatform platform;
        platform.m_bAllowMessages = true;
        WriteBytes(m_dir.Path("Tarvell.cfg"), std::string(nSize, 'x'));
        CTarvellDoc doc(platform, m_dir.Dir(), "");
        EXPECT_EQ(platform.m_messages,
                  std::vector<std::string>{"環境設定ファイルのバージョンが違います。"});
        EXPECT_EQ(doc.m_cfg.nWindowLeft, 64);
        EXPECT_STREQ(doc.m_cfg.szEditorPath, "");
    }
    WriteBytes(m_dir.Path("Tarvell.cfg"), "");
    CTarvellDoc doc = MakeDoc(); // an empty file counts as missing: no message
}

TEST_F(DocTest, ASenderFileOfAnyOtherSizeIsSilentlyIgnored)
{
    WriteBytes(m_dir.Path("SenderInf.tvl"), std::string(895, 'x'));
    CTarvellDoc doc = MakeDoc();
    EXPECT_STREQ(doc.m_sender.szName, "");
    EXPECT_TRUE(m_platform.m_messages.empty());
}

TEST_F(DocTest, RecordsLoadBackByteForByte)
{
    {
        CTarvellDoc doc = MakeDoc();
        FillWithBytesAfterTheEnds(doc.m_sender);
        doc.m_cfg.nWindowLeft = -20;
        doc.m_cfg.nWindowTop = 300;
        std::strcpy(doc.m_cfg.szEditorPath, "/usr/bin/mousepad");
        doc.SaveRecords();
    }
    CTarvellDoc doc = MakeDoc();
    SenderInf expected;
    FillWithBytesAfterTheEnds(expected);
    EXPECT_EQ(std::memcmp(&doc.m_sender, &expected, sizeof(expected)), 0);
    EXPECT_EQ(doc.m_cfg.nWindowLeft, -20);
    EXPECT_EQ(doc.m_cfg.nWindowTop, 300);
    EXPECT_STREQ(doc.m_cfg.szEditorPath, "/usr/bin/mousepad");
    EXPECT_NE(ReadBytes(m_dir.Path("SenderInf.tvl")).find("\x5A\x5A\x5A\x5A"), 0u);
}

TEST_F(DocTest, AForeignRecordOfTheRightSizeNeverLeavesATextWithoutItsEnd)
{
    WriteBytes(m_dir.Path("Tarvell.cfg"), std::string(776, 'A'));
    CTarvellDoc doc = MakeDoc();
    EXPECT_EQ(std::strlen(doc.m_cfg.szEditorPath), 255u);
    EXPECT_EQ(std::strlen(doc.m_cfg.szBinFileDir), 255u);
}

TEST_F(DocTest, AFileNamedLikeAFolderIsLeftAlone)
{
    WriteBytes(m_dir.Path("keep"), "not a folder");
    CTarvellDoc doc = MakeDoc();
    EXPECT_EQ(ReadBytes(m_dir.Path("keep")), "not a folder");
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.Path("log")));
}

// When SenderInf.tvl cannot be written, Tarvell.cfg is not written either.
TEST_F(DocTest, AFailedSenderFileSkipsTheSettingsFile)
{
    CTarvellDoc doc = MakeDoc();
    std::filesystem::create_directory(m_dir.Path("SenderInf.tvl"));
    std::filesystem::create_directory(m_dir.Path("SenderInf.tvl/x"));
    EXPECT_THROW(doc.SaveRecords(), CFileException);
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path("Tarvell.cfg")));
}

TEST_F(DocTest, ChangesReachTheFilesOnlyAtTheCloseStep)
{
    CTarvellDoc doc = MakeDoc();
    std::strcpy(doc.m_sender.szName, "new");
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path("SenderInf.tvl")));
}

// A record file that exists with the right size but cannot be read (here: written by root with
// mode 0600, loaded as another user) raises the file error instead of counting as missing, so
// the document is not built and the file is never written over.
TEST_F(DocTest, ARecordFileThatCannotBeReadRaisesTheFileErrorAndIsKept)
{
    const std::string strSkip = NoUnprivilegedUserReason();
    if (!strSkip.empty())
        GTEST_SKIP() << strSkip;
    for (const auto& [pszName, nSize] : {std::pair{"SenderInf.tvl", 896}, {"Tarvell.cfg", 776}})
    {
        CTempFolder dir;
        const std::string strBytes(static_cast<std::size_t>(nSize), 'r');
        WriteFileReplacing(dir.Path(pszName), strBytes.data(), strBytes.size(), 0600);
        OpenToEveryone(dir.Dir());
        const std::string strResult = RunAsNobody([&] {
            CScriptedPlatform platform;
            try
            {
                CTarvellDoc doc(platform, dir.Dir(), "");
                return std::string("built");
            }
            catch (const CFileException& e)
            {
                return FileErrorText(e);
            }
        });
        EXPECT_EQ(strResult, dir.Path(pszName) + " へのｱｸｾｽは拒否されました。");
        EXPECT_EQ(ReadBytes(dir.Path(pszName)), strBytes);
    }
}

// A command ends only its own running start mode: one still waiting for the timer, or another
// command's, stays.
TEST_F(DocTest, EndStartModeEndsOnlyThatModeWhileItRuns)
{
    const struct
    {
        std::int32_t nBefore;
        StartMode ended;
        std::int32_t nAfter;
    } rows[] = {
        {START_RUNNING + START_MAIN_BOOK_SELECT, START_MAIN_BOOK_SELECT, START_NONE},
        {START_RUNNING + START_SENDER, START_SENDER, START_NONE},
        {START_MAIN_BOOK_SELECT, START_MAIN_BOOK_SELECT, START_MAIN_BOOK_SELECT},
        {START_RUNNING + START_GROUP_BOOK_SELECT, START_MAIN_BOOK_SELECT,
         START_RUNNING + START_GROUP_BOOK_SELECT},
        {START_NONE, START_OPTIONS, START_NONE},
    };
    CTarvellDoc doc = MakeDoc();
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << row.nBefore << " ended by " << row.ended);
        doc.SetStartModeForTest(row.nBefore);
        doc.EndStartMode(row.ended);
        EXPECT_EQ(doc.GetStartMode(), row.nAfter);
    }
}

// Only a waiting start mode begins; none, or one already running, stays as it is.
TEST_F(DocTest, BeginStartModeStartsOnlyAWaitingMode)
{
    const struct
    {
        std::int32_t nBefore;
        std::int32_t nAfter;
    } rows[] = {
        {START_MAIN_BOOK_EDIT, START_RUNNING + START_MAIN_BOOK_EDIT},
        {START_SENDER, START_RUNNING + START_SENDER},
        {START_NONE, START_NONE},
        {START_RUNNING + START_OPTIONS, START_RUNNING + START_OPTIONS},
    };
    CTarvellDoc doc = MakeDoc();
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << "begin from " << row.nBefore);
        doc.SetStartModeForTest(row.nBefore);
        doc.BeginStartMode();
        EXPECT_EQ(doc.GetStartMode(), row.nAfter);
    }
}
