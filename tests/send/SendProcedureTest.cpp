// SendProcedureTest.cpp - the Send command's paths that end before any connection: what is
// sent, shown, logged and kept, group books, and file errors that end the command.
#include "SendFixture.h"

#include "addr/AddressBook.h"
#include "app/FileSystem.h"
#include "support/TestBooks.h"

namespace
{
using Strings = std::vector<std::string>;
} // namespace

class SendProcedure : public SendFixture
{
  protected:
    void SetUp() override
    {
        SendFixture::SetUp();
        Write("body.txt", "本文\r\n");
        m_strBody = m_strAppDir + "body.txt";
    }
    std::string m_strBody;
};

TEST_F(SendProcedure, SingleSendWithoutNameOrAddressDoesNothingAtAll)
{
    for (const auto& [strName, strAddress] :
         std::vector<std::pair<std::string, std::string>>{{"", "a@example.jp"}, {"山田", ""}})
    {
        FillForm(strName, strAddress, "件名", m_strBody);
        m_pForm->AutoSender().m_nCountdown = -1;
        m_pForm->OnSend();
        EXPECT_EQ(m_pForm->AutoSender().m_nCountdown, 2);
    }
    EXPECT_TRUE(m_platform.m_statusLines.empty());
    EXPECT_TRUE(Files("log").empty());
    EXPECT_TRUE(Files("keep").empty());
}

TEST_F(SendProcedure, EmptyTitleIsALoggedFailureWithAnEmptyKeepCopy)
{
    FillForm("山田", "yamada@example.jp", "", m_strBody);
    m_pForm->OnSend();

    EXPECT_EQ(m_pForm->Status(), "送信失敗-");
    EXPECT_EQ(m_platform.m_statusLines, Strings{"送信失敗-"});
    const std::string expected = "★ [送信失敗]  2004年07月05日 09時05分03秒\r\n"
                                 "　　　宛先名: 山田\r\n"
                                 "宛先アドレス: yamada@example.jp\r\n"
                                 "　　タイトル: \r\n"
                                 "本文ファイル: " +
                                 m_strBody +
                                 "\r\n"
                                 "添付ファイル: \r\n\r\n";
    // The mark ends in two ASCII blanks; lines 2 and 4 begin with full-width spaces (81 40).
    EXPECT_EQ(expected.substr(0, 15), "\x81\x9a [\x91\x97\x90M\x8e\xb8\x94s]  ");
    EXPECT_EQ(expected.substr(expected.find("\r\n") + 2, 7), "\x81\x40\x81\x40\x81\x40\x88");
    EXPECT_EQ(Read("log/Tarvell_200407.txt"), expected);
    EXPECT_EQ(Files("keep"), Strings{std::string(DEFAULT_STAMP) + "(00)_山田.txt"});
    EXPECT_EQ(Read("keep/" + std::string(DEFAULT_STAMP) + "(00)_山田.txt"), "");
}

// Each check that ends an attempt before a connection: status line and logged failure.
TEST_F(SendProcedure, ChecksBeforeAnyConnection)
{
    Write("empty.txt", "");
    // A sparse file of 256 MiB and one byte: a body that size is refused, not read into memory.
    Write("huge.txt", "x");
    std::filesystem::resize_file(OsPath(m_strAppDir + "huge.txt"), 256 * 1024 * 1024 + 1);
    struct Case
    {
        const char* pszWhat;
        std::string strName, strAddress, strTitle, strTextFile, strBinFile, strStatus;
    };
    const std::vector<Case> cases = {
        {"empty body file", "山田", "y@example.jp", "件名", m_strAppDir + "empty.txt", "",
         "送信失敗-送信テキストファイルが見つかりません"},
        {"missing body file", "山田", "y@example.jp", "件名", m_strAppDir + "none.txt", "",
         "送信失敗-送信テキストファイルが見つかりません"},
        {"body file too large", "山田", "y@example.jp", "件名", m_strAppDir + "huge.txt", "",
         "送信失敗-送信テキストファイルが大きすぎます"},
        {"missing attachment", "山田", "y@example.jp", "件名", m_strBody, m_strAppDir + "none.bin",
         "山田送信失敗-添付ファイルが見つかりません"},
        {"empty attachment", "山田", "y@example.jp", "件名", m_strBody, m_strAppDir + "empty.txt",
         "山田送信失敗-添付ファイルが見つかりません"},
        {"LF in the name", "山\n田", "y@example.jp", "件名", m_strBody, "",
         "送信失敗-改行文字を含む項目があります"},
        {"CR in the address", "山田", "y@example.jp\rRCPT TO:<x@example.jp>", "件名", m_strBody, "",
         "送信失敗-改行文字を含む項目があります"},
        {"CR LF in the title", "山田", "y@example.jp", "件名\r\nBcc: x@example.jp", m_strBody, "",
         "送信失敗-改行文字を含む項目があります"},
        // The checks run in a fixed order: required fields, body file, attachment.
        {"empty title before the body check", "山田", "y@example.jp", "", m_strAppDir + "none.txt",
         m_strAppDir + "none.bin", "送信失敗-"},
        {"body before attachment", "山田", "y@example.jp", "件名", m_strAppDir + "none.txt",
         m_strAppDir + "none.bin", "送信失敗-送信テキストファイルが見つかりません"},
        {"body file that is a folder", "山田", "y@example.jp", "件名", m_strAppDir + "keep", "",
         "送信失敗-送信テキストファイルが見つかりません"},
        {"attachment that is a folder", "山田", "y@example.jp", "件名", m_strBody,
         m_strAppDir + "keep", "山田送信失敗-添付ファイルが見つかりません"},
    };
    for (const Case& c : cases)
    {
        std::filesystem::remove_all(OsPath(m_strAppDir + "log"));
        std::filesystem::create_directory(OsPath(m_strAppDir + "log"));
        FillForm(c.strName, c.strAddress, c.strTitle, c.strTextFile, c.strBinFile);
        m_pForm->OnSend();
        EXPECT_EQ(m_pForm->Status(), c.strStatus) << c.pszWhat;
        EXPECT_EQ(Read("log/Tarvell_200407.txt").substr(0, 15), "★ [送信失敗]  ") << c.pszWhat;
    }
    EXPECT_TRUE(m_platform.m_fileErrors.empty());
}

// Values that only a send-information file can bring: never overrun, never cut and then used.
TEST_F(SendProcedure, ValuesTooLongForTheirFieldsFailAndAreLoggedCut)
{
    std::string strLongName;
    for (int i = 0; i < 64; ++i)
        strLongName += "あ"; // 128 bytes: one over the name field
    const std::string strLongAddress = std::string(250, 'a') + "@example.jp";
    const std::string strLongTitle(256, 't');
    struct Case
    {
        std::string strName, strAddress, strTitle, strStatus;
    };
    const std::vector<Case> cases = {
        {strLongName, "y@example.jp", "件名", "送信失敗-宛先名が長すぎます"},
        {"山田", strLongAddress, "件名", "送信失敗-宛先アドレスが長すぎます"},
        {"山田", "y@example.jp", strLongTitle, "送信失敗-タイトルが長すぎます"},
    };
    for (const Case& c : cases)
    {
        FillForm(c.strName, c.strAddress, c.strTitle, m_strBody);
        m_pForm->OnSend();
        EXPECT_EQ(m_pForm->Status(), c.strStatus);
    }
    FillForm("山田", "y@example.jp", "件名", "/tmp/" + std::string(251, 'b'));
    m_pForm->OnSend();
    EXPECT_EQ(m_pForm->Status(), "送信失敗-本文ファイル名が長すぎます");
    FillForm("山田", "y@example.jp", "件名", m_strBody, "/tmp/" + std::string(251, 'c'));
    m_pForm->OnSend();
    EXPECT_EQ(m_pForm->Status(), "送信失敗-添付ファイル名が長すぎます");

    const std::string strLog = Read("log/Tarvell_200407.txt");
    // The name is cut at a character boundary: 63 characters, never half of one.
    EXPECT_NE(strLog.find("宛先名: " + strLongName.substr(0, 126) + "\r\n"), std::string::npos);
    EXPECT_NE(strLog.find("宛先アドレス: " + strLongAddress.substr(0, 255) + "\r\n"),
              std::string::npos);
    EXPECT_NE(strLog.find("本文ファイル: /tmp/" + std::string(250, 'b') + "\r\n"),
              std::string::npos);
    EXPECT_EQ(Files("keep").size(), 2u); // the cut name, and 山田 four times in one second
}

TEST_F(SendProcedure, NamesWithBackslashTrailBytesGiveTheirOwnKeepCopy)
{
    // ソ, 表 and 能 end in the byte 0x5C, which is no folder separator there.
    FillForm("ソ表能", "y@example.jp", "", m_strBody);
    m_pForm->OnSend();
    EXPECT_TRUE(
        std::filesystem::exists(OsPath(m_strAppDir + "keep/" + DEFAULT_STAMP + "(00)_ソ表能.txt")));
    EXPECT_TRUE(m_platform.m_fileErrors.empty());
}

// A name holding "/" would put the keep copy outside keep/: the "/" becomes "_" instead, and the
// command goes on to its closing step.
TEST_F(SendProcedure, SlashInTheNameStaysInsideTheKeepFolder)
{
    m_pDoc->SetAutoSendForTest(AutoSendState::Running);
    m_pForm->AutoSender().m_nCountdown = -1;
    FillForm("../../evil", "y@example.jp", "", m_strBody);
    m_pForm->OnSend();
    EXPECT_TRUE(m_platform.m_fileErrors.empty());
    EXPECT_FALSE(Read("log/Tarvell_200407.txt").empty());
    EXPECT_EQ(Files("keep"), Strings{std::string(DEFAULT_STAMP) + "(00)_.._.._evil.txt"});
    EXPECT_EQ(m_pDoc->GetAutoSend(), AutoSendState::Off);
    EXPECT_EQ(m_pForm->AutoSender().m_nCountdown, 2);
}

// A deep program folder: the name is cut so that the keep copy's path keeps to 255 bytes; only a
// folder too deep for any keep copy raises the file error.
TEST_F(SendProcedure, PathOverTheLimitIsCutNotOverrun)
{
    const std::string strDeep = m_strAppDir + std::string(100, 'd') + "/";
    std::filesystem::create_directory(strDeep);
    MakeForm(strDeep, "");
    const std::size_t nRoom = 255 - (strDeep.size() + 5 + 20 + 4);
    FillForm(std::string(nRoom + 1, 'n'), "y@example.jp", "", m_strBody);
    m_pForm->OnSend();
    EXPECT_TRUE(m_platform.m_fileErrors.empty());
    ASSERT_TRUE(std::filesystem::exists(strDeep + "keep/" + DEFAULT_STAMP + "(00)_" +
                                        std::string(nRoom, 'n') + ".txt"));

    const std::string strDeeper =
        strDeep + std::string(255 - strDeep.size() - 5 - 20 - 4 + 1, 'e') + "/";
    std::filesystem::create_directory(strDeeper);
    MakeForm(strDeeper, "");
    FillForm("n", "y@example.jp", "", m_strBody);
    m_pForm->OnSend();
    EXPECT_EQ(m_platform.m_fileErrors.size(), 1u);
}

TEST_F(SendProcedure, MissingLogFolderStopsBeforeTheKeepCopy)
{
    std::filesystem::remove(m_strAppDir + "log");
    FillForm("山田", "y@example.jp", "", m_strBody);
    m_pForm->OnSend();
    ASSERT_EQ(m_platform.m_fileErrors.size(), 1u);
    EXPECT_NE(m_platform.m_fileErrors[0].find(ShownPath("log/Tarvell_200407.txt") +
                                              " が見つかりません。"),
              std::string::npos);
    EXPECT_TRUE(Files("keep").empty());
    EXPECT_EQ(m_pForm->Status(), "送信失敗-");
}

// The Send command's closing step ends a running automatic send but leaves a requested one
// alone, and restarts the countdown, whatever the command did.
TEST_F(SendProcedure, ClosingStepEndsOnlyARunningAutomaticSend)
{
    struct Case
    {
        const char* pszWhat;
        std::string strName, strAddress;
    };
    const std::vector<Case> cases = {
        {"logged failure", "山田", "y@example.jp"},
        {"nothing to send", "", "y@example.jp"},
        {"group book missing", "", "@missing.tvl"},
    };
    using State = AutoSendState;
    const std::vector<std::pair<State, State>> autoSend = {{State::Off, State::Off},
                                                           {State::Requested, State::Requested},
                                                           {State::Running, State::Off}};
    for (const Case& c : cases)
    {
        for (const auto& [before, after] : autoSend)
        {
            FillForm(c.strName, c.strAddress, "", m_strBody);
            m_pDoc->SetAutoSendForTest(before);
            m_pForm->AutoSender().m_nCountdown = -1;
            m_pForm->OnSend();
            const int nBefore = static_cast<int>(before);
            EXPECT_EQ(m_pDoc->GetAutoSend(), after) << c.pszWhat << " " << nBefore;
            EXPECT_EQ(m_pForm->AutoSender().m_nCountdown, 2) << c.pszWhat << " " << nBefore;
        }
    }
    EXPECT_TRUE(m_platform.m_fileErrors.empty());
}

TEST_F(SendProcedure, GroupSendNumbersOnlyTheMembersItAttempts)
{
    SaveBook(m_strAppDir + "@友人.tvl", BookOf({{"一郎", "ichiro@example.jp"},
                                                {"入れ子", "@other.tvl"},
                                                {"", "x@example.jp"},
                                                {"二郎", "jiro@example.jp"},
                                                {"/", ""},
                                                {"三郎", "saburo@example.jp"}}));
    // The form's name takes no part; an empty title makes every member fail before connecting.
    FillForm("", "@友人.tvl", "", m_strBody);
    m_pForm->OnSend();

    const std::string stamp = DEFAULT_STAMP;
    EXPECT_EQ(Files("keep"), (Strings{stamp + "(01)_一郎.txt", stamp + "(02)_二郎.txt"}));
    const std::string strLog = Read("log/Tarvell_200407.txt");
    EXPECT_EQ(strLog,
              LogEntry(false, DEFAULT_WHEN, "一郎", "ichiro@example.jp", "", m_strBody, "") +
                  LogEntry(false, DEFAULT_WHEN, "二郎", "jiro@example.jp", "", m_strBody, ""));
    EXPECT_EQ(m_pForm->AutoSender().m_nCountdown, 2);
}

TEST_F(SendProcedure, GroupBookThatIsNotABookSendsNothing)
{
    Write("@short.tvl", std::string(19199, '\0'));
    SaveBook(m_strAppDir + "@stop.tvl", BookOf({{"/", ""}, {"一郎", "ichiro@example.jp"}}));
    for (const char* pszAddress : {"@short.tvl", "@missing.tvl", "@stop.tvl", "@"})
    {
        FillForm("山田", pszAddress, "件名", m_strBody);
        m_pForm->AutoSender().m_nCountdown = 0;
        m_pForm->OnSend();
        EXPECT_EQ(m_pForm->AutoSender().m_nCountdown, 2) << pszAddress;
    }
    EXPECT_TRUE(m_platform.m_statusLines.empty());
    EXPECT_TRUE(Files("log").empty());
    EXPECT_TRUE(Files("keep").empty());
    EXPECT_TRUE(m_platform.m_fileErrors.empty());
}

// A member's name can never stop a group send: "/", control characters and bytes that are not
// CP932 text become "_" in the keep copy's name, a name too long for a file name is cut on a
// character boundary, and every member is sent, logged and kept.
TEST_F(SendProcedure, MemberNamesNeverStopAGroupSend)
{
    const std::string strKana(127, '\xB1'); // ｱ: one byte here, three in a UTF-8 file name
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"営業部/田中", "営業部_田中"},
        {"a\x01"
         "b\x7F",
         "a_b_"},
        {"\x81\x0A"
         "x",
         "__x"}, // a lead byte without its second byte, then LF
        {"\x85\x40"
         "y\xFF",
         "_@y_"},             // a pair CP932 does not define, then 0xFF
        {"ソ表能", "ソ表能"}, // second bytes 0x5C stay
        {strKana, std::string(77, '\xB1')},
    };
    std::vector<std::pair<std::string, std::string>> members;
    Strings expected;
    for (std::size_t i = 0; i < rows.size(); ++i)
    {
        members.push_back({rows[i].first, std::to_string(i) + "@example.jp"});
        expected.push_back(std::string(DEFAULT_STAMP) + "(0" + std::to_string(i + 1) + ")_" +
                           rows[i].second + ".txt");
    }
    SaveBook(m_strAppDir + "@g.tvl", BookOf(members));
    FillForm("", "@g.tvl", "", m_strBody);
    m_platform.m_nextChoices.push_back(1); // the half-width kana: send the names as they are
    m_pForm->OnSend();

    EXPECT_TRUE(m_platform.m_fileErrors.empty());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Files("keep"), expected);
    const std::string strLog = Read("log/Tarvell_200407.txt");
    EXPECT_NE(strLog.find("宛先名: 営業部/田中\r\n"), std::string::npos);
    EXPECT_NE(strLog.find("5@example.jp"), std::string::npos);
}

TEST_F(SendProcedure, GroupAddressHoldingASlashIsAFileErrorNotAnotherFolder)
{
    std::filesystem::create_directory(m_strAppDir + "sub");
    std::filesystem::create_directory(m_strAppDir + "@x");
    SaveBook(m_strAppDir + "sub/@g.tvl", BookOf({{"一郎", "1@example.jp"}}));
    FillForm("", "@x/../sub/@g.tvl", "", m_strBody);
    m_pForm->OnSend();
    EXPECT_EQ(m_platform.m_fileErrors.size(), 1u);
    EXPECT_TRUE(Files("log").empty());
}
