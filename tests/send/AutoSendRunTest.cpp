// AutoSendRunTest.cpp - the built program run without a display from a script's point of view:
// "/sendon /quit /sendinf=..." against the scripted fake server, judged by the exit status,
// standard output and error, the log, the keep copies and the bytes on the wire.
#include "SendFixture.h"

#include "support/RealMailServers.h"
#include "addr/AddressBook.h"
#include "support/FakeMailServer.h"
#include "support/ProgramRun.h"

#include <csignal>
#include <ctime>
#include <unistd.h>

namespace
{
std::string Utf8(const char8_t* psz)
{
    return reinterpret_cast<const char*>(psz);
}
} // namespace

class AutoSendRun : public SendFixture
{
  protected:
    void SetUp() override
    {
        SendFixture::SetUp();
        Write("本文.txt", "%NAME様\r\nご案内です。\r\n");
        SetField(m_pDoc->m_sender.szName, "差出人");
        SetField(m_pDoc->m_sender.szMailAddress, "from@example.jp");
        SetField(m_pDoc->m_sender.szSmtpServer, m_server.HostPort());
        SetField(m_pDoc->m_sender.szPop3Server, m_server.HostPort());
        SetField(m_pDoc->m_sender.szLoginName, "login");
        SetField(m_pDoc->m_sender.szPassword, "secret");
        m_pDoc->SaveRecords();
    }

    // A send-information file with LF line ends naming the Japanese body file, then the run.
    ProgramResult Run(const std::string& strAddress,
                      std::vector<std::string> args = {"/sendon", "/quit"})
    {
        Write("inf.txt", "Name=山田\nAddress=" + strAddress +
                             "\nTitle=ご案内\nTextFile=" + m_strAppDir + "本文.txt\n");
        args.push_back("/sendinf=" + m_strAppDir + "inf.txt");
        const ProgramResult result = RunProgram(m_strAppDir, args, {}, 60);
        m_server.Stop();
        EXPECT_TRUE(result.bExited) << result.strErr;
        return result;
    }

    CFakeMailServer m_server;
};

TEST_F(AutoSendRun, SuccessfulSendExitsWithZero)
{
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(CServerScript::SmtpAccepting());
    const ProgramResult result = Run("yamada@example.jp");

    EXPECT_EQ(result.nExitCode, 0) << result.strErr;
    EXPECT_NE(result.strOut.find(Utf8(u8"山田 添付ファイルなし送信開始-送信成功\n")),
              std::string::npos)
        << result.strOut;
    std::vector<std::string> logs = Files("log");
    std::erase(logs, "trace.txt"); // the send trace lies beside the monthly logs
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(Read("log/" + logs[0]).substr(0, 15), "☆ [送信成功]  ");
    const std::vector<std::string> keep = Files("keep");
    ASSERT_EQ(keep.size(), 1u);
    EXPECT_EQ(keep[0].substr(15), "(00)_山田.txt");
    EXPECT_EQ(Read("keep/" + keep[0]), "山田様\r\nご案内です。\r\n");

    EXPECT_EQ(m_server.Received(0), "USER login\nPASS secret\nQUIT\n");
    const std::string strSmtp = m_server.Received(1);
    EXPECT_EQ(
        strSmtp.rfind(
            "HELO merrows\nMAIL FROM:<from@example.jp>\nRCPT TO:<yamada@example.jp>\nDATA\n", 0),
        0u)
        << strSmtp;
    EXPECT_EQ(strSmtp.substr(strSmtp.size() - 10), "\r\n.\r\nQUIT\n");
}

TEST_F(AutoSendRun, FailedSendExitsWithOne)
{
    m_server.AddConnection(
        CServerScript().Say("+OK\r\n").Line().Say("+OK\r\n").Line().Say("-ERR no\r\n"));
    const ProgramResult result = Run("yamada@example.jp");
    EXPECT_EQ(result.nExitCode, 1);
    EXPECT_NE(result.strOut.find(Utf8(u8"送信失敗-発送元設定を確認してください。\n")),
              std::string::npos)
        << result.strOut;
}

TEST_F(AutoSendRun, GroupSendReachesEveryMember)
{
    AddressBook book;
    SetField(book.entries[0].szName, "一郎");
    SetField(book.entries[0].szAddress, "ichiro@example.jp");
    SetField(book.entries[1].szName, "二郎");
    SetField(book.entries[1].szAddress, "jiro@example.jp");
    SaveBook(m_strAppDir + "@友人.tvl", book);
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(CServerScript::SmtpAccepting());
    m_server.SetRepeat(true);
    const ProgramResult result = Run("@友人.tvl");

    EXPECT_EQ(result.nExitCode, 0) << result.strErr;
    const std::vector<std::string> keep = Files("keep");
    ASSERT_EQ(keep.size(), 2u);
    EXPECT_EQ(keep[0].substr(15), "(01)_一郎.txt");
    EXPECT_EQ(keep[1].substr(15), "(02)_二郎.txt");
    EXPECT_NE(m_server.Received(3).find("RCPT TO:<jiro@example.jp>\n"), std::string::npos);
}

// Nobody can close a program without a display: a file error with "/quit" ends it. The mail
// went out, only its log entry could not be written: the exit status 2 tells a wrapper not to
// send it again.
TEST_F(AutoSendRun, MailSentButNotLoggedEndsTheRunWithTwo)
{
    std::filesystem::remove(m_strAppDir + "log");
    Write("log", "a file where the log folder belongs");
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(CServerScript::SmtpAccepting());
    const ProgramResult result = Run("yamada@example.jp");
    EXPECT_EQ(result.nExitCode, 2);
    EXPECT_NE(result.strErr.find("Tarvell_"), std::string::npos) << result.strErr;
    EXPECT_NE(m_server.Received(1).find("\r\n.\r\n"), std::string::npos);
}

// Stopped by SIGTERM before the automatic send ran: the program closes as usual, nothing is sent,
// and the exit status 3 says that the requested send never ran.
TEST_F(AutoSendRun, StoppedBeforeTheAutomaticSendExitsWithThree)
{
    Write("inf.txt", "Name=山田\nAddress=yamada@example.jp\nTitle=ご案内\nTextFile=" + m_strAppDir +
                         "本文.txt\n");
    const ProgramResult result =
        RunProgram(m_strAppDir, {"/sendon", "/quit", "/sendinf=" + m_strAppDir + "inf.txt"}, {}, 60,
                   [](pid_t pid) {
                       // Well before the three-second countdown ends; a signal that comes before
                       // the window is up waits for it.
                       ::usleep(1500 * 1000);
                       ::kill(pid, SIGTERM);
                   });
    m_server.Stop();
    EXPECT_TRUE(result.bExited) << result.strErr;
    EXPECT_EQ(result.nExitCode, 3) << result.strOut << result.strErr;
    EXPECT_EQ(m_server.ConnectionCount(), 0u);
    EXPECT_TRUE(Files("log").empty());
}

// SIGTERM while the automatic send waits on a silent server ends the send at once, with its
// failure logged, instead of after the time-out; then the program closes as usual.
TEST_F(AutoSendRun, StoppedDuringTheSendCancelsItAndExitsWithOne)
{
    CServerScript silent;
    silent.Say("220 fake\r\n").Silent();
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(silent);
    Write("inf.txt", "Name=山田\nAddress=yamada@example.jp\nTitle=ご案内\nTextFile=" + m_strAppDir +
                         "本文.txt\n");
    timespec signalled{};
    const ProgramResult result =
        RunProgram(m_strAppDir, {"/sendon", "/quit", "/sendinf=" + m_strAppDir + "inf.txt"}, {}, 60,
                   [&](pid_t pid) {
                       for (int i = 0; i < 200 && m_server.ConnectionCount() < 2; ++i)
                           ::usleep(50 * 1000);
                       ::usleep(200 * 1000); // HELO is on its way
                       ::clock_gettime(CLOCK_MONOTONIC, &signalled);
                       ::kill(pid, SIGTERM);
                   });
    timespec ended{};
    ::clock_gettime(CLOCK_MONOTONIC, &ended);
    m_server.Stop();
    EXPECT_TRUE(result.bExited) << result.strErr;
    EXPECT_EQ(result.nExitCode, 1) << result.strOut << result.strErr;
    EXPECT_LT(ended.tv_sec - signalled.tv_sec, 3) << "the send ran on to its time-out";
    const std::vector<std::string> logs = Files("log");
    ASSERT_FALSE(logs.empty());
    EXPECT_NE(Read("log/" + logs.front()).find("★ [送信失敗]"), std::string::npos);
}

TEST_F(AutoSendRun, StartModeDialogEndsAsCancelAndQuitStillCloses)
{
    const ProgramResult result = RunProgram(m_strAppDir, {"/option", "/quit"}, {}, 60);
    EXPECT_TRUE(result.bExited) << result.strErr;
    EXPECT_EQ(result.nExitCode, 0);
    EXPECT_NE(result.strErr.find(Utf8(u8"オプション")), std::string::npos) << result.strErr;
}

TEST_F(AutoSendRun, ThroughPostfixAndDovecot)
{
    CRealServers servers;
    std::string strReason;
    if (!servers.Start(strReason))
        GTEST_SKIP() << "real mail servers cannot run here: " << strReason;
    servers.SetServers(m_pDoc->m_sender);
    m_pDoc->SaveRecords();

    const ProgramResult result = Run("yamada@example.jp");
    EXPECT_EQ(result.nExitCode, 0) << result.strErr;

    // The body arrives as written: its last line end is not doubled by the end of the data.
    std::ofstream(m_strAppDir + "expected.txt") << Utf8(u8"山田様\nご案内です。\n");
    ExpectedMessage expected;
    expected.strSubject = Utf8(u8"ご案内");
    expected.strFromName = Utf8(u8"差出人");
    expected.strFromAddr = "from@example.jp";
    expected.strToName = Utf8(u8"山田");
    expected.strToAddr = "yamada@example.jp";
    expected.strBodyFile = m_strAppDir + "expected.txt";
    std::string strOutput;
    EXPECT_EQ(CheckDeliveredMessage(servers, expected, strOutput), 0) << strOutput;
}

TEST_F(AutoSendRun, AFailedAttemptWritesItsDetailToStandardError)
{
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(CServerScript()
                               .Say("220 fake\r\n")
                               .Line()
                               .Say("250 fake\r\n")
                               .Line()
                               .Say("250 ok\r\n")
                               .Line()
                               .Say("550 5.1.1 <yamada@example.jp>: User unknown\r\n")
                               .Line()
                               .Say("221 bye\r\n"));
    const ProgramResult result = Run("yamada@example.jp");
    EXPECT_EQ(result.nExitCode, 1);
    EXPECT_NE(result.strOut.find(Utf8(u8"送信失敗-サーバが宛先アドレスを拒否しました\n")),
              std::string::npos)
        << result.strOut;
    EXPECT_NE(result.strErr.find(
                  Utf8(u8"Tarvell: 詳細: RCPT TO: 550 5.1.1 <yamada@example.jp>: User unknown\n")),
              std::string::npos)
        << result.strErr;
}

TEST_F(AutoSendRun, AnAddressWithoutAtFailsWithoutConnecting)
{
    const ProgramResult result = Run("hanako.example.jp");
    EXPECT_EQ(result.nExitCode, 1);
    EXPECT_NE(result.strOut.find(Utf8(u8"山田送信失敗-宛先アドレスが正しくありません\n")),
              std::string::npos)
        << result.strOut;
    EXPECT_EQ(m_server.ConnectionCount(), 0u);
}

// Without a display every question takes its first answer and says so.
TEST_F(AutoSendRun, AUtf8BodyWithKanaIsConvertedAndReplaced)
{
    Write("本文.txt", Utf8(u8"%NAME様 ｶﾞｯｺｳ①\r\n"));
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(CServerScript::SmtpAccepting());
    const ProgramResult result = Run("yamada@example.jp");
    EXPECT_EQ(result.nExitCode, 0) << result.strErr;
    for (const char8_t* pszSaid :
         {u8"Tarvell: 「変換して送信」を選びました", u8"Tarvell: 「置き換えて送信」を選びました"})
        EXPECT_NE(result.strErr.find(Utf8(pszSaid)), std::string::npos) << result.strErr;
    const std::vector<std::string> keep = Files("keep");
    ASSERT_EQ(keep.size(), 1u);
    EXPECT_EQ(Read("keep/" + keep[0]), "山田様 ガッコウ(1)\r\n");
}

// A headless run reads Delivery.ini too: STARTTLS asked for and not offered fails the send in
// words, with nothing but EHLO and QUIT on the wire, and the run exits with 1.
TEST_F(AutoSendRun, HeadlessRunUsesTheDeliveryProfile)
{
    Write("Delivery.ini", "SmtpSecurity=starttls\nAuthentication=smtp-auth\n");
    m_server.AddConnection(CServerScript()
                               .Say("220 fake ESMTP\r\n")
                               .Line()
                               .Say("250-fake\r\n250 AUTH PLAIN\r\n")
                               .Line()
                               .Say("221 bye\r\n"));
    const ProgramResult result = Run("yamada@example.jp");
    EXPECT_EQ(result.nExitCode, 1);
    EXPECT_NE(result.strOut.find(Utf8(u8"送信失敗-サーバが暗号化(STARTTLS)に対応していません")),
              std::string::npos)
        << result.strOut;
    const std::string strWire = m_server.Received(0);
    EXPECT_EQ(strWire.rfind("EHLO ", 0), 0u) << strWire;
    EXPECT_EQ(strWire.substr(strWire.find("\r\n") + 2), "QUIT\r\n");
}
