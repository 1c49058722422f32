// SendDetailTest.cpp - what a failed attempt tells beyond its status line (the step and the
// server's words), and the trace of a whole send command, against the scripted fake server.
#include "SendFixture.h"

#include "support/FakeMailServer.h"
#include "support/TestBooks.h"

namespace
{
CServerScript SmtpAnsweringRcpt(const std::string& strReply)
{
    CServerScript script;
    script.Say("220 fake ESMTP\r\n").Line().Say("250 fake\r\n").Line().Say("250 ok\r\n").Line();
    script.Say(strReply).Line().Say("221 bye\r\n");
    return script;
}
} // namespace

class SendDetail : public SendFixture
{
  protected:
    void SetUp() override
    {
        SendFixture::SetUp();
        Write("body.txt", "%NAME様\r\n本文です。\r\n");
        SetSender(m_server.HostPort());
        FillForm("山田", "yamada@example.jp", "件名", m_strAppDir + "body.txt");
    }

    std::string Trace() { return Read("log/trace.txt"); }

    CFakeMailServer m_server;
};

// The four failures a server causes are told with a display and without it in
// tests/ui/TarvellViewTest.cpp; here what the send procedure itself finds.
TEST_F(SendDetail, APasswordTooLongForItsLineIsToldWithoutConnecting)
{
    SetField(m_pDoc->m_sender.szPassword, std::string(122, 'p'));
    m_pForm->OnSend();
    m_server.Stop();
    EXPECT_EQ(m_server.ConnectionCount(), 0u);
    EXPECT_EQ(m_pForm->Detail(), "PASS: ログイン名かパスワードが長すぎるか改行を含みます");
    EXPECT_EQ(m_platform.m_details, std::vector<std::string>{m_pForm->Detail()});
}

TEST_F(SendDetail, AServerReplyIsCutTo200BytesWithoutControlBytes)
{
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(SmtpAnsweringRcpt("550 \x1b[31m" + std::string(300, 'x') + "\r\n"));
    m_pForm->OnSend();
    m_server.Stop();
    EXPECT_EQ(m_pForm->Detail(), "RCPT TO: 550 ?[31m" + std::string(200 - 9, 'x'));
}

TEST_F(SendDetail, TraceOfASendShowsBothSidesWithThePasswordMaskedAndTheBodyCounted)
{
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(CServerScript::SmtpAccepting());
    m_pForm->OnSend();
    m_server.Stop();
    const std::string strTrace = Trace();
    for (const char* pszPart : {"---- 2004-07-05 09:05:03 山田 <yamada@example.jp> ----\r\n",
                                "09:05:03 C: USER login\r\n", "09:05:03 C: PASS ********\r\n",
                                "09:05:03 S: +OK", "C: RCPT TO:<yamada@example.jp>\r\n", "S: 354",
                                "-- (本文 ", "-- 山田 添付ファイルなし送信開始-送信成功\r\n"})
        EXPECT_NE(strTrace.find(pszPart), std::string::npos) << pszPart << "\n" << strTrace;
    EXPECT_EQ(strTrace.find("secret"), std::string::npos);
    EXPECT_EQ(strTrace.find("本文です"), std::string::npos); // the body is a count only
}

TEST_F(SendDetail, TraceOfAGroupHoldsEveryMemberAndIsReplacedByTheNextCommand)
{
    m_server.SetRepeat(true);
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(CServerScript::SmtpAccepting());
    const AddressBook book = BookOf({{"一郎", "ichiro@example.jp"}, {"二郎", "jiro@example.jp"}});
    Write("@仲間.tvl", std::string(reinterpret_cast<const char*>(&book), sizeof(book)));
    m_pForm->SetField(FormField::ToAddress, "@仲間.tvl");
    m_pForm->OnSend();
    std::string strTrace = Trace();
    EXPECT_NE(strTrace.find("一郎 <ichiro@example.jp> ----"), std::string::npos) << strTrace;
    EXPECT_NE(strTrace.find("二郎 <jiro@example.jp> ----"), std::string::npos) << strTrace;

    FillForm("山田", "yamada@example.jp", "件名", m_strAppDir + "body.txt");
    m_pForm->OnSend();
    m_server.Stop();
    strTrace = Trace();
    EXPECT_EQ(strTrace.find("一郎"), std::string::npos) << strTrace;
    EXPECT_NE(strTrace.find("山田 <yamada@example.jp>"), std::string::npos) << strTrace;
}

TEST_F(SendDetail, TraceOfAFailingSendEndsWithTheDetail)
{
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(SmtpAnsweringRcpt("550 5.1.1 User unknown\r\n"));
    m_pForm->OnSend();
    m_server.Stop();
    const std::string strTrace = Trace();
    EXPECT_NE(strTrace.find("S: 550 5.1.1 User unknown\r\n"), std::string::npos) << strTrace;
    EXPECT_NE(strTrace.find("-- RCPT TO: 550 5.1.1 User unknown\r\n"), std::string::npos)
        << strTrace;
}

TEST_F(SendDetail, ATraceThatCannotBeWrittenDoesNotFailTheSend)
{
    std::filesystem::create_directory(OsPath(m_strAppDir + "log/trace.txt"));
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(CServerScript::SmtpAccepting());
    testing::internal::CaptureStderr();
    m_pForm->OnSend();
    const std::string strErr = testing::internal::GetCapturedStderr();
    m_server.Stop();
    EXPECT_EQ(m_pForm->Status(), "山田 添付ファイルなし送信開始-送信成功");
    EXPECT_EQ(m_pForm->Tally().nFailed, 0);
    EXPECT_NE(strErr.find("trace.txt"), std::string::npos) << strErr;
    EXPECT_EQ(std::count(strErr.begin(), strErr.end(), '\n'), 1) << strErr;
}
