// SendServerTest.cpp - whole send attempts against the scripted fake POP3/SMTP server on
// loopback: every outcome of an attempt with its status lines, log entry, keep copy and the
// bytes on the wire, and group sends member by member.
#include "SendFixture.h"

#include "addr/AddressBook.h"
#include "support/FakeMailServer.h"
#include "support/TestBooks.h"

#include <sstream>

namespace
{
using Strings = std::vector<std::string>;

CServerScript SmtpRefusingRecipient()
{
    CServerScript script;
    script.Say("220 fake ESMTP\r\n").Line().Say("250 fake\r\n").Line().Say("250 ok\r\n").Line();
    script.Say("550 5.1.1 no such user\r\n").Line().Say("221 bye\r\n");
    return script;
}

CServerScript Pop3RefusingPassword()
{
    CServerScript script;
    script.Say("+OK fake\r\n").Line().Say("+OK\r\n").Line().Say("-ERR [AUTH] failed\r\n");
    return script;
}
} // namespace

class SendServer : public SendFixture
{
  protected:
    void SetUp() override
    {
        SendFixture::SetUp();
        Write("body.txt", "%NAME様\r\n本文です。\r\n");
        Write("添付.bin", std::string("\x00\x01\xff", 3));
        SetSender(m_server.HostPort());
    }

    CFakeMailServer m_server;
};

TEST_F(SendServer, GroupSendGivesEveryMemberItsOwnEnvelopeLogEntryAndKeepCopy)
{
    AddressBook book;
    const std::vector<std::pair<std::string, std::string>> members = {
        {"一郎", "ichiro@example.jp"}, {"二郎", "jiro@example.jp"}, {"三郎", "saburo@example.jp"}};
    for (std::size_t i = 0; i < members.size(); ++i)
    {
        SetField(book.entries[i * 2].szName, members[i].first);
        SetField(book.entries[i * 2].szAddress, members[i].second);
    }
    SaveBook(m_strAppDir + "@友人.tvl", book);
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(CServerScript::SmtpAccepting());
    m_server.SetRepeat(true);
    m_pDoc->SetAutoSendForTest(AutoSendState::Running);
    FillForm("", "@友人.tvl", "ご案内", m_strAppDir + "body.txt");

    m_pForm->OnSend();

    EXPECT_EQ(m_pForm->Status(), "三郎 添付ファイルなし送信開始-送信成功");
    EXPECT_EQ(m_pDoc->GetAutoSend(), AutoSendState::Off);
    EXPECT_EQ(m_pForm->AutoSender().m_nCountdown, 2);
    std::string strLog;
    for (std::size_t i = 0; i < members.size(); ++i)
    {
        const std::string strSmtp = m_server.Received(i * 2 + 1);
        EXPECT_NE(strSmtp.find("RCPT TO:<" + members[i].second + ">\n"), std::string::npos);
        const std::string strKeep = std::string(DEFAULT_STAMP) + "(0" + std::to_string(i + 1) +
                                    ")_" + members[i].first + ".txt";
        EXPECT_EQ(Read("keep/" + strKeep), members[i].first + "様\r\n本文です。\r\n");
        strLog += LogEntry(true, DEFAULT_WHEN, members[i].first, members[i].second, "ご案内",
                           m_strAppDir + "body.txt", "");
    }
    EXPECT_EQ(Read("log/Tarvell_200407.txt"), strLog);
    EXPECT_EQ(Files("keep").size(), 3u);
}

// A log that cannot be written after a mail went out: a single send has gone out whole (exit
// status 2), while a group send abandoned before its second member has left a mail unsent (1).
TEST_F(SendServer, ALogErrorAfterDeliveryCountsAsUnrecordedOnlyWhenNothingIsLeftUnsent)
{
    std::filesystem::remove(m_strAppDir + "log");
    Write("log", "a file where the log folder belongs");
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(CServerScript::SmtpAccepting());
    m_server.SetRepeat(true);
    FillForm("山田", "yamada@example.jp", "件名", m_strAppDir + "body.txt");
    m_pForm->OnSend();
    EXPECT_EQ(m_pForm->Tally().nFailed, 0);
    EXPECT_EQ(m_pForm->Tally().nUnrecorded, 1);
    EXPECT_EQ(m_pForm->RunExitStatus(true), EXIT_NOT_RECORDED);

    AddressBook book;
    SetField(book.entries[0].szName, "一郎");
    SetField(book.entries[0].szAddress, "ichiro@example.jp");
    SetField(book.entries[1].szName, "二郎");
    SetField(book.entries[1].szAddress, "jiro@example.jp");
    SaveBook(m_strAppDir + "@g.tvl", book);
    FillForm("", "@g.tvl", "件名", m_strAppDir + "body.txt");
    m_pForm->OnSend();
    EXPECT_EQ(m_pForm->Tally().nFailed, 1);
    EXPECT_EQ(m_pForm->RunExitStatus(true), EXIT_SEND_FAILED);
    EXPECT_EQ(m_platform.m_fileErrors.size(), 2u);
}

// SMTP AUTH refused: the status line says so in words, and the password reaches none of the status
// line, the messages, the log, the trace or the keep copy (it went only to the server, which saw
// AUTH and then QUIT, never MAIL FROM).
TEST_F(SendServer, RefusedSmtpAuthIsToldAndThePasswordIsNowhere)
{
    Write("Delivery.ini", "Authentication=smtp-auth\r\n");
    SetField(m_pDoc->m_sender.szPassword, "Pa55-word-x9");
    CServerScript smtp;
    smtp.Say("220 fake ESMTP\r\n").Line().Say("250-fake\r\n250 AUTH PLAIN\r\n").Line();
    smtp.Say("535 5.7.8 authentication failed\r\n").Line().Say("221 bye\r\n");
    m_server.AddConnection(smtp);
    FillForm("宛先", "to@example.jp", "件名", m_strAppDir + "body.txt");

    m_pForm->OnSend();
    m_server.Stop();

    EXPECT_EQ(m_pForm->Status(), "宛先 添付ファイルなし送信開始-送信失敗-"
                                 "サーバがログイン名またはパスワードを拒否しました");
    ASSERT_EQ(m_server.ConnectionCount(), 1u) << "no POP3 connection with SMTP AUTH";
    const std::string strWire = m_server.Received(0);
    EXPECT_NE(strWire.find("AUTH PLAIN AGxvZ2luAFBhNTUtd29yZC14OQ==\r\nQUIT\r\n"),
              std::string::npos)
        << strWire;
    EXPECT_EQ(strWire.find("MAIL FROM"), std::string::npos);
    std::string strEverything = m_pForm->Status() + Read("log/Tarvell_200407.txt");
    for (const std::string& strMessage : m_platform.m_messages)
        strEverything += strMessage;
    for (const std::string& strFile : Files("keep"))
        strEverything += Read("keep/" + strFile);
    const std::string strTrace = Read("log/trace.txt");
    EXPECT_NE(strTrace.find("AUTH PLAIN "), std::string::npos) << "the trace shows the step";
    strEverything += strTrace;
    EXPECT_EQ(strEverything.find("Pa55-word-x9"), std::string::npos);
    EXPECT_EQ(strEverything.find("AGxvZ2luAFBhNTUtd29yZC14OQ"), std::string::npos);
}

// A group send of a book with three members and one entry without a name, across the ways it can
// go: each row gives the server's script for every connection in order, and when the user stops
// the send; the results file holds every entry's result, the summary counts them, the exit status
// follows, and waits (interval, retry) pass on the scripted clock only.
struct GroupSendRow
{
    const char* pszName;
    const char* pszDeliveryIni;
    std::vector<const char*> connections; // pop, poprefused, smtp, smtp451, smtp550, auth, authfail
    int nStopAfterSent;                   // -1: never stopped
    const char* pszResults;               // the results of entries 1 to 4, joined by ","
    const char* pszSummary;
    int nExitStatus;
    int nPausedSeconds;
};

void PrintTo(const GroupSendRow& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

CServerScript ScriptNamed(const std::string& strName)
{
    CServerScript script;
    if (strName == "pop")
        return CServerScript::Pop3Accepting();
    if (strName == "poprefused")
        return Pop3RefusingPassword();
    if (strName == "smtp")
        return CServerScript::SmtpAccepting();
    if (strName == "smtp550")
        return SmtpRefusingRecipient();
    if (strName == "smtp451" || strName == "smtp451many")
    {
        script.Say("220 fake\r\n").Line().Say("250 fake\r\n").Line().Say("250 ok\r\n").Line();
        return script
            .Say(strName == "smtp451" ? "451 4.7.1 try again later\r\n"
                                      : "451 4.7.1 Too many messages, slow down\r\n")
            .Line()
            .Say("221 bye\r\n");
    }
    script.Say("220 fake ESMTP\r\n").Line().Say("250-fake\r\n250 AUTH PLAIN\r\n").Line();
    if (strName == "authfail")
        return script.Say("535 5.7.8 authentication failed\r\n").Line().Say("221 bye\r\n");
    script.Say("235 ok\r\n").Line().Say("250 ok\r\n").Line().Say("250 ok\r\n").Line();
    script.Say("354 go\r\n").Data().Say("250 2.0.0 Ok: queued as 4A1B2C\r\n");
    return script.Line().Say("221 bye\r\n");
}

class GroupSend : public SendServer, public testing::WithParamInterface<GroupSendRow>
{
};

TEST_P(GroupSend, RecordsEveryEntrysResultAndSummary)
{
    const GroupSendRow& row = GetParam();
    if (row.pszDeliveryIni[0] != '\0')
        Write("Delivery.ini", row.pszDeliveryIni);
    SaveBook(m_strAppDir + "@g.tvl", BookOf({{"一郎", "ichiro@example.jp"},
                                             {"二郎", "jiro@example.jp"},
                                             {"", "noname@example.jp"},
                                             {"三郎", "saburo@example.jp"}}));
    for (const char* pszScript : row.connections)
        m_server.AddConnection(ScriptNamed(pszScript));
    int nSent = 0;
    m_platform.m_onStatus = [&](const std::string& strStatus) {
        if (strStatus.find("送信成功") != std::string::npos && ++nSent == row.nStopAfterSent)
            m_pForm->Cancel().Request();
    };
    if (row.nStopAfterSent == 0)
        m_pForm->Cancel().Request();
    const std::time_t timeStart = m_platform.m_now;
    FillForm("", "@g.tvl", "件名", m_strAppDir + "body.txt");
    m_pForm->OnSend();
    m_server.Stop();

    EXPECT_EQ(m_pForm->RunExitStatus(true), row.nExitStatus);
    EXPECT_EQ(m_server.ConnectionCount(), row.connections.size());
    EXPECT_EQ(m_platform.m_now - timeStart, row.nPausedSeconds);
    ASSERT_EQ(m_platform.m_summaries, Strings{row.pszSummary});
    EXPECT_EQ(m_pForm->Detail().rfind(row.pszSummary, 0), 0u) << m_pForm->Detail();
    const Strings results = Files("log/results");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results.front(), "20040705_090503_g.tsv");
    std::istringstream tsv(Read("log/results/" + results.front())); // UTF-8
    std::string strLine;
    std::getline(tsv, strLine);
    EXPECT_EQ(strLine, SjisToUtf8Lossy("No\t名前\tアドレス\t結果\t理由\tサーバの応答\t時刻\t"
                                       "件名\t本文ファイル\t添付ファイル\r"));
    std::string strResults;
    for (int nEntry = 1; std::getline(tsv, strLine); ++nEntry)
    {
        std::vector<std::string> cells;
        std::istringstream cellStream(strLine);
        for (std::string strCell; std::getline(cellStream, strCell, '\t');)
            cells.push_back(strCell);
        ASSERT_GE(cells.size(), 6u) << strLine;
        EXPECT_EQ(cells[0], std::to_string(nEntry));
        strResults.append(strResults.empty() ? "" : ",")
            .append(Utf8ToSjisReplacing(cells[3], nullptr));
        if (cells[3] == SjisToUtf8Lossy("送信成功"))
        {
            EXPECT_EQ(cells[5], row.connections[0] == std::string("auth")
                                    ? "250 2.0.0 Ok: queued as 4A1B2C"
                                    : "250 queued");
        }
    }
    EXPECT_EQ(strResults, row.pszResults);
}

const char* const kAuth = "Authentication=smtp-auth\r\n";

INSTANTIATE_TEST_SUITE_P(
    SendServer, GroupSend,
    testing::Values(GroupSendRow{"EveryMemberSent",
                                 "",
                                 {"pop", "smtp", "pop", "smtp", "pop", "smtp"},
                                 -1,
                                 "送信成功,送信成功,スキップ,送信成功",
                                 "成功 3 件、失敗 0 件、スキップ 1 件",
                                 0,
                                 0},
                    GroupSendRow{"StoppedBeforeTheFirst",
                                 "",
                                 {},
                                 0,
                                 "未送信,未送信,スキップ,未送信",
                                 "成功 0 件、失敗 0 件、未送信 3 件、スキップ 1 件",
                                 3,
                                 0},
                    GroupSendRow{"StoppedAfterTheFirst",
                                 "",
                                 {"pop", "smtp"},
                                 1,
                                 "送信成功,未送信,スキップ,未送信",
                                 "成功 1 件、失敗 0 件、未送信 2 件、スキップ 1 件",
                                 1,
                                 0},
                    GroupSendRow{"ARefusedRecipientGoesOn",
                                 "",
                                 {"pop", "smtp", "pop", "smtp550", "pop", "smtp"},
                                 -1,
                                 "送信成功,送信失敗,スキップ,送信成功",
                                 "成功 2 件、失敗 1 件、スキップ 1 件",
                                 1,
                                 0},
                    GroupSendRow{"ATransientRefusalIsRetried",
                                 "",
                                 {"pop", "smtp", "pop", "smtp451", "pop", "smtp", "pop", "smtp"},
                                 -1,
                                 "送信成功,送信成功,スキップ,送信成功",
                                 "成功 3 件、失敗 0 件、スキップ 1 件",
                                 0,
                                 10},
                    GroupSendRow{"ThreeTransientRefusalsFail",
                                 "",
                                 {"pop", "smtp", "pop", "smtp451", "pop", "smtp451", "pop",
                                  "smtp451", "pop", "smtp"},
                                 -1,
                                 "送信成功,送信失敗,スキップ,送信成功",
                                 "成功 2 件、失敗 1 件、スキップ 1 件",
                                 1,
                                 40},
                    GroupSendRow{"TheIntervalWaitsBetweenMembers",
                                 "SendInterval=5\r\n",
                                 {"pop", "smtp", "pop", "smtp", "pop", "smtp"},
                                 -1,
                                 "送信成功,送信成功,スキップ,送信成功",
                                 "成功 3 件、失敗 0 件、スキップ 1 件",
                                 0,
                                 10},
                    GroupSendRow{
                        "TooManyMessagesLengthensTheInterval",
                        "SendInterval=2\r\n",
                        {"pop", "smtp", "pop", "smtp451many", "pop", "smtp", "pop", "smtp"},
                        -1,
                        "送信成功,送信成功,スキップ,送信成功",
                        "成功 3 件、失敗 0 件、スキップ 1 件",
                        0,
                        22},
                    GroupSendRow{"ARefusedLogInStopsAModernProfile",
                                 kAuth,
                                 {"authfail"},
                                 -1,
                                 "送信失敗,未送信,スキップ,未送信",
                                 "成功 0 件、失敗 1 件、未送信 2 件、スキップ 1 件",
                                 1,
                                 0},
                    GroupSendRow{"TheClassicProfileTriesEveryMember",
                                 "",
                                 {"poprefused", "poprefused", "poprefused"},
                                 -1,
                                 "送信失敗,送信失敗,スキップ,送信失敗",
                                 "成功 0 件、失敗 3 件、スキップ 1 件",
                                 1,
                                 0},
                    GroupSendRow{"AModernProfileKeepsTheServersReply",
                                 kAuth,
                                 {"auth", "auth", "auth"},
                                 -1,
                                 "送信成功,送信成功,スキップ,送信成功",
                                 "成功 3 件、失敗 0 件、スキップ 1 件",
                                 0,
                                 0}),
    [](const testing::TestParamInfo<GroupSendRow>& paramInfo) { return paramInfo.param.pszName; });

// A resend after a restart goes only to the members the last send of this mail left without it,
// writes its own results file, and a resend with nothing left sends nothing.
TEST_F(SendServer, ResendGoesOnlyToTheMembersLeftWithoutTheMail)
{
    SaveBook(m_strAppDir + "@g.tvl",
             BookOf({{"一郎", "ichiro@example.jp"}, {"二郎", "jiro@example.jp"}}));
    for (const char* pszScript : {"pop", "smtp", "pop", "smtp550", "pop", "smtp"})
        m_server.AddConnection(ScriptNamed(pszScript));
    FillForm("", "@g.tvl", "件名", m_strAppDir + "body.txt");
    m_pForm->OnSend();

    MakeForm(m_strAppDir, ""); // the program started anew
    SetSender(m_server.HostPort());
    FillForm("", "@g.tvl", "件名", m_strAppDir + "body.txt");
    m_platform.m_now += 60;
    m_pForm->OnResend();
    EXPECT_EQ(m_pForm->RunExitStatus(true), EXIT_ALL_SENT);
    m_pForm->OnResend();
    EXPECT_EQ(m_pForm->Status(), "再送信: 送れなかった宛先はありません");
    FillForm("", "@g.tvl", "別の件名", m_strAppDir + "body.txt");
    m_pForm->OnResend();
    EXPECT_EQ(m_pForm->Status(), "再送信: このグループとこのメールの前回の結果がありません");
    m_server.Stop();

    ASSERT_EQ(m_server.ConnectionCount(), 6u);
    EXPECT_NE(m_server.Received(5).find("RCPT TO:<jiro@example.jp>"), std::string::npos);
    EXPECT_EQ(Files("log/results").size(), 2u);
    EXPECT_EQ(m_platform.m_summaries, (Strings{"成功 1 件、失敗 1 件", "成功 1 件、失敗 0 件"}));
}

// The preview composes the group's first member's mail without a connection or a record; the test
// send goes once to the sender's own address and leaves the form's recipient as it was.
TEST_F(SendServer, PreviewComposesWithoutSendingAndTheTestSendGoesToTheSender)
{
    SaveBook(m_strAppDir + "@g.tvl",
             BookOf({{"", "noname@example.jp"}, {"一郎", "ichiro@example.jp"}}));
    FillForm("", "@g.tvl", "ご案内", m_strAppDir + "body.txt", m_strAppDir + "添付.bin");
    const MessagePreview preview = m_pForm->Preview();
    ASSERT_TRUE(preview.bComposed) << preview.strProblem;
    EXPECT_EQ(preview.strShown,
              "差出人: 差出人 <from@example.jp>\r\n宛先: 一郎 <ichiro@example.jp>\r\n"
              "件名: ご案内\r\n日付: 2004年07月05日 09時05分\r\n"
              "添付: 添付.bin (3 バイト)\r\n\r\n一郎様\r\n本文です。\r\n");
    EXPECT_NE(preview.strSource.find("To: =?ISO-2022-JP?B?"), std::string::npos)
        << preview.strSource;
    EXPECT_NE(preview.strSource.find("Content-Transfer-Encoding: base64\r\n\r\nAAH/\r\n"),
              std::string::npos)
        << preview.strSource;
    EXPECT_EQ(m_server.ConnectionCount(), 0u);
    EXPECT_TRUE(Files("log").empty());

    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(CServerScript::SmtpAccepting());
    m_pForm->OnTestSend();
    m_server.Stop();
    ASSERT_EQ(m_server.ConnectionCount(), 2u);
    EXPECT_NE(m_server.Received(1).find("RCPT TO:<from@example.jp>\n"), std::string::npos);
    EXPECT_EQ(m_pForm->Field(FormField::ToAddress), "@g.tvl");
    EXPECT_EQ(m_pForm->RunExitStatus(true), EXIT_ALL_SENT);
}

// Every way an attempt that reaches the servers can end: the status lines, the log entry, the
// keep copy and both transcripts.
struct TransmissionRow
{
    const char* pszName;
    bool bAttach;
    const char* pszPop3;
    const char* pszSmtp; // nullptr: the POP3 log-in fails first, no SMTP connection
    bool bSent;
    const char* pszEnd; // the status line's last piece
};

void PrintTo(const TransmissionRow& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class Transmission : public SendServer, public testing::WithParamInterface<TransmissionRow>
{
};

TEST_P(Transmission, EndsWithItsStatusLogEntryKeepCopyAndTranscript)
{
    const TransmissionRow& row = GetParam();
    m_server.AddConnection(ScriptNamed(row.pszPop3));
    if (row.pszSmtp != nullptr)
        m_server.AddConnection(ScriptNamed(row.pszSmtp));
    const std::string strBin = row.bAttach ? m_strAppDir + "添付.bin" : "";
    FillForm("山田", "yamada@example.jp", "ご案内", m_strAppDir + "body.txt", strBin);

    m_pForm->OnSend();
    m_server.Stop();

    const std::string strStarted =
        row.bAttach ? "山田 添付ファイルあり送信開始-" : "山田 添付ファイルなし送信開始-";
    // The previous attempt's line is emptied first.
    if (!m_platform.m_statusLines.empty() && m_platform.m_statusLines[0].empty())
        m_platform.m_statusLines.erase(m_platform.m_statusLines.begin());
    EXPECT_EQ(m_platform.m_statusLines, (Strings{"山田", strStarted, strStarted + row.pszEnd}));
    EXPECT_EQ(Read("log/Tarvell_200407.txt"),
              LogEntry(row.bSent, DEFAULT_WHEN, "山田", "yamada@example.jp", "ご案内",
                       m_strAppDir + "body.txt", strBin));
    const std::string strKeep = std::string(DEFAULT_STAMP) + "(00)_山田.txt";
    EXPECT_EQ(Files("keep"), Strings{strKeep});
    // The body as composed; one that was never read leaves an empty keep copy.
    EXPECT_EQ(Read("keep/" + strKeep), row.bSent ? "山田様\r\n本文です。\r\n" : "");

    // QUIT follows an accepted log-in only.
    const bool bLoggedIn = row.pszSmtp != nullptr;
    EXPECT_EQ(m_server.Received(0),
              "USER login\nPASS secret\n" + std::string(bLoggedIn ? "QUIT\n" : ""));
    if (row.bSent)
    {
        const std::string strSmtp = m_server.Received(1);
        EXPECT_EQ(strSmtp.rfind("HELO merrows\nMAIL FROM:<from@example.jp>\n"
                                "RCPT TO:<yamada@example.jp>\nDATA\n",
                                0),
                  0u);
        EXPECT_EQ(strSmtp.substr(strSmtp.size() - 10), "\r\n.\r\nQUIT\n");
        EXPECT_EQ(strSmtp.find("_MULTIPART_MIXED_") != std::string::npos, row.bAttach);
    }
    else if (bLoggedIn)
    {
        EXPECT_EQ(m_server.Received(1).substr(0, 13), "HELO merrows\n");
    }
    EXPECT_TRUE(m_platform.m_fileErrors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    SendServer, Transmission,
    testing::Values(TransmissionRow{"PlainSent", false, "pop", "smtp", true, "送信成功"},
                    TransmissionRow{"PlainRecipientRefused", false, "pop", "smtp550", false,
                                    "送信失敗-サーバが宛先アドレスを拒否しました"},
                    TransmissionRow{"AttachmentSent", true, "pop", "smtp", true, "送信成功"},
                    TransmissionRow{"AttachmentPop3Refused", true, "poprefused", nullptr, false,
                                    "送信失敗-発送元設定を確認してください。"}),
    [](const testing::TestParamInfo<TransmissionRow>& paramInfo) {
        return paramInfo.param.pszName;
    });
