// LoopbackTest.cpp - whole sends over real TCP to the scripted fake server on 127.0.0.1: replies
// in delayed pieces, a server that closes, resets or never answers, and the errno mapping.
#include "mail/MailSender.h"
#include "mail/LineTransport.h"
#include "mail/SendCancel.h"
#include "mail/SendResult.h"
#include "mail/SocketPlatform.h"
#include "mail/SystemSocket.h"

#include "support/TempFolder.h"
#include "app/Sjis.h"
#include "support/FakeMailServer.h"
#include "support/MessageHeaders.h"
#include "support/ScriptedPlatform.h"
#include "support/TestSocket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#endif

namespace
{
const std::string kPopTranscript = "USER taro\nPASS secret\nQUIT\n";
const std::string kEnvelope =
    "HELO merrows\nMAIL FROM:<taro@example.jp>\nRCPT TO:<hanako@example.jp>\nDATA\n";
const std::string kMessage =
    "From: Taro <taro@example.jp>\r\nTo: Hanako <hanako@example.jp>\r\nSubject: Hi\r\n"
    "Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\nContent-Transfer-Encoding: 7bit\r\n" +
    kAddedHeaderLines + "MIME-Version: 1.0\r\n\r\nHello\r\n.\r\n";

// Sets TARVELL_NET_TIMEOUT for one test and restores it afterwards.
class CNetTimeout
{
  public:
    explicit CNetTimeout(const char* pszSeconds)
    {
        const char* pszOld = std::getenv("TARVELL_NET_TIMEOUT");
        m_bHadOld = pszOld != nullptr;
        if (m_bHadOld)
            m_strOld = pszOld;
        Set(pszSeconds);
    }
    ~CNetTimeout() { Set(m_bHadOld ? m_strOld.c_str() : nullptr); }

  private:
    static void Set(const char* pszValue)
    {
#ifdef _WIN32
        ::_putenv_s("TARVELL_NET_TIMEOUT", pszValue != nullptr ? pszValue : "");
#else
        if (pszValue != nullptr)
            ::setenv("TARVELL_NET_TIMEOUT", pszValue, 1);
        else
            ::unsetenv("TARVELL_NET_TIMEOUT");
#endif
    }

    bool m_bHadOld = false;
    std::string m_strOld;
};
} // namespace

class LoopbackTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        SetField(m_sender.szName, "Taro");
        SetField(m_sender.szMailAddress, "taro@example.jp");
        SetField(m_sender.szPop3Server, m_server.HostPort());
        SetField(m_sender.szSmtpServer, m_server.HostPort());
        SetField(m_sender.szLoginName, "taro");
        SetField(m_sender.szPassword, "secret");
        SetField(m_request.szName, "Hanako");
        SetField(m_request.szAddress, "hanako@example.jp");
        SetField(m_request.szTitle, "Hi");
        SetField(m_request.szTextFile, m_folder.Write("body.txt", "Hello\n"));
    }

    int SendPlain()
    {
        CMailSender sender(m_platform);
        const int nResult = sender.SendPlainMail(m_sender, m_request);
        m_server.Stop();
        return nResult;
    }

    CTempFolder m_folder;
    CFakeMailServer m_server;
    CScriptedPlatform m_platform;
    SenderInf m_sender;
    SendRequest m_request;
};

TEST_F(LoopbackTest, PlainMailGoesThroughEndToEnd)
{
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(CServerScript::SmtpAccepting());
    EXPECT_EQ(SendPlain(), 5);
    ASSERT_EQ(m_server.ConnectionCount(), 2u);
    EXPECT_EQ(m_server.Received(0), kPopTranscript);
    EXPECT_EQ(MaskMessageId(m_server.Received(1)), kEnvelope + kMessage + "QUIT\n");
}

// The client waits for the server's late verdict on the message before QUIT; a refusal fails
// the send.
TEST_F(LoopbackTest, MessageRefusedAtItsEndIsNotSent)
{
    m_server.AddConnection(CServerScript::Pop3Accepting());
    CServerScript smtp;
    smtp.Say("220 ready\r\n")
        .Line()
        .Say("250 a\r\n")
        .Line()
        .Say("250 b\r\n")
        .Line()
        .Say("250 c\r\n")
        .Line()
        .Say("354 go\r\n")
        .Data()
        .Delay(200)
        .Say("552 5.3.4 message too big\r\n")
        .Line()
        .Say("221 bye\r\n");
    m_server.AddConnection(smtp);
    EXPECT_EQ(SendPlain(), Code(SendCode::DataRejected));
    EXPECT_EQ(MaskMessageId(m_server.Received(1)), kEnvelope + kMessage + "QUIT\n");
}

// Replies split into delayed pieces are joined; a multi-line reply in one piece is read whole.
TEST_F(LoopbackTest, RepliesInDelayedPiecesAndMultiLineReplies)
{
    CServerScript pop;
    pop.SayPieces({"+O", "K ready\r\n"}, 50)
        .Line()
        .Say("+OK\r\n")
        .Line()
        .Say("+OK\r\n")
        .Line()
        .Say("+OK\r\n");
    CServerScript smtp;
    smtp.SayPieces({"22", "0 ready\r\n"}, 50)
        .Line()
        .Say("250-hello\r\n250-8BITMIME\r\n250 SIZE 1000\r\n")
        .Line()
        .SayPieces({"2", "5", "0 ok\r\n"}, 30)
        .Line()
        .Say("250 ok\r\n")
        .Line()
        .Say("354 go\r\n")
        .Data()
        .Say("250 queued\r\n")
        .Line()
        .Say("221 bye\r\n");
    m_server.AddConnection(pop);
    m_server.AddConnection(smtp);
    EXPECT_EQ(SendPlain(), 5);
    EXPECT_EQ(MaskMessageId(m_server.Received(1)), kEnvelope + kMessage + "QUIT\n");
}

TEST_F(LoopbackTest, PopServerClosingWithoutAWordGivesZero)
{
    CServerScript pop;
    pop.Close();
    m_server.AddConnection(pop);
    EXPECT_EQ(SendPlain(), Code(SendCode::NoSession));
    EXPECT_EQ(m_server.ConnectionCount(), 1u);
}

TEST_F(LoopbackTest, ConnectionResetShowsItsMessage)
{
    if (!ResetReachesThePeer())
        GTEST_SKIP() << "this system's sockets cannot reset a connection (Wine)";
    m_platform.m_bAllowMessages = true;
    m_server.AddConnection(CServerScript::Pop3Accepting());
    CServerScript smtp;
    smtp.Say("220 ready\r\n").Line().Say("250 hello\r\n").Line().Reset();
    m_server.AddConnection(smtp);
    EXPECT_EQ(SendPlain(), Code(SendCode::MailFromNoReply));
    EXPECT_EQ(m_platform.m_messages, std::vector<std::string>{"RxSocket: WSAECONNRESET"});
}

// A server that never answers holds the send only for the time-out; no message is shown.
TEST_F(LoopbackTest, SilentServerTimesOut)
{
    const CNetTimeout timeout("1");
    m_server.AddConnection(CServerScript::Pop3Accepting());
    CServerScript smtp;
    smtp.Say("220 ready\r\n").Silent();
    m_server.AddConnection(smtp);
    const std::time_t tStart = std::time(nullptr);
    EXPECT_EQ(SendPlain(), Code(SendCode::HeloNoReply));
    EXPECT_LE(std::time(nullptr) - tStart, 4);
    EXPECT_TRUE(m_platform.m_messages.empty());
    EXPECT_EQ(m_server.Received(1), "HELO merrows\nQUIT\n");
}

// A server that stops reading holds a send only for the time-out: the message data is lost.
TEST_F(LoopbackTest, ServerThatStopsReadingTimesOutTheData)
{
    const CNetTimeout timeout("1");
    SetField(m_request.szTextFile, m_folder.Write("big.txt", std::string(64 * 1024 * 1024, 'a')));
    m_server.AddConnection(CServerScript::Pop3Accepting());
    CServerScript smtp;
    smtp.Say("220 ready\r\n")
        .Line()
        .Say("250 a\r\n")
        .Line()
        .Say("250 b\r\n")
        .Line()
        .Say("250 c\r\n")
        .Line()
        .Say("354 go\r\n")
        .Stall();
    m_server.AddConnection(smtp);
    CMailSender sender(m_platform);
    EXPECT_EQ(sender.SendPlainMail(m_sender, m_request), Code(SendCode::DataLost));
    m_server.Stop();
}

// The server goes away during the message data: sending to it fails the send, and the program
// is not killed by SIGPIPE.
TEST_F(LoopbackTest, ServerClosingDuringDataFailsTheSendWithoutSigpipe)
{
    m_platform.m_bAllowMessages = true;
    std::string strBig(4 * 1024 * 1024, 'a');
    for (std::size_t i = 100; i < strBig.size(); i += 100)
        strBig[i] = '\n';
    SetField(m_request.szTextFile, m_folder.Write("big.txt", strBig));
    m_server.AddConnection(CServerScript::Pop3Accepting());
    CServerScript smtp;
    smtp.Say("220 ready\r\n")
        .Line()
        .Say("250 a\r\n")
        .Line()
        .Say("250 b\r\n")
        .Line()
        .Say("250 c\r\n")
        .Line()
        .Say("354 go\r\n")
        .Reset();
    m_server.AddConnection(smtp);
    const int nResult = SendPlain();
    EXPECT_LT(nResult, 0);
    EXPECT_GE(nResult, Code(SendCode::DataRejected));
}

TEST_F(LoopbackTest, ClosedPortAndUnknownHostGiveZero)
{
    const std::string strClosed = m_server.HostPort();
    m_server.Stop();
    SetField(m_sender.szPop3Server, strClosed);
    CMailSender sender(m_platform);
    EXPECT_EQ(sender.SendPlainMail(m_sender, m_request), Code(SendCode::NoSession));
    SetField(m_sender.szPop3Server, "no-such-host.invalid:110");
    EXPECT_EQ(sender.SendPlainMail(m_sender, m_request), Code(SendCode::NoSession));
}

// A host name is resolved, and the first of its addresses that connects is used (localhost may
// give ::1 first, where nothing listens).
TEST_F(LoopbackTest, HostNameConnectsThroughItsFirstWorkingAddress)
{
    SetField(m_sender.szPop3Server, "localhost:" + std::to_string(m_server.Port()));
    m_server.AddConnection(CServerScript::Pop3Accepting());
    m_server.AddConnection(CServerScript::SmtpAccepting());
    EXPECT_EQ(SendPlain(), 5);
}

TEST(SystemSocket, IPv6LoopbackLiteral)
{
    CSystemSocket socket;
    ASSERT_TRUE(socket.Create());
    // Nothing listens on port 9 of ::1 (or IPv6 is off): either way a clean failure, no hang.
    EXPECT_FALSE(socket.Connect("::1", 9));
    EXPECT_NE(socket.GetLastError(), 0);
    char buffer[8];
    EXPECT_EQ(socket.Receive(buffer, 7), -1);
    EXPECT_EQ(socket.GetLastError(), NET_ENOTCONN);
}

namespace
{
// A loopback listener that never accepts, with the shortest queue: once a connect or two fill it,
// further connection requests are dropped and connecting can only time out.
struct CQueueFullListener
{
    CQueueFullListener() : s(ListenOnLoopback(0, nPort)) {}
    ~CQueueFullListener() { CloseTestSocket(s); }
    int Port() const { return nPort; }

    int nPort = 0;
    const TestSocket s;
    bool bOpen = s != kNoTestSocket;
};
} // namespace

// A listener whose queue is full drops new connection requests: connecting gives up after the
// time-out instead of waiting for the system's own minutes-long retries.
TEST(SystemSocket, ConnectGivesUpAfterTheTimeout)
{
    const CNetTimeout timeout("1");
    const CQueueFullListener listener;
    ASSERT_TRUE(listener.bOpen);
    const int nPort = listener.Port();
    std::vector<std::unique_ptr<CSystemSocket>> fillers;
    bool bTimedOut = false;
    const std::time_t tStart = std::time(nullptr);
    for (int i = 0; i < 8 && !bTimedOut; ++i)
    {
        fillers.push_back(std::make_unique<CSystemSocket>());
        fillers.back()->Create();
        bTimedOut = !fillers.back()->Connect("127.0.0.1", nPort);
        if (bTimedOut)
        {
            EXPECT_EQ(fillers.back()->GetLastError(), NET_ETIMEDOUT);
        }
    }
    EXPECT_TRUE(bTimedOut) << "the listener's queue never filled";
    EXPECT_LE(std::time(nullptr) - tStart, 5);
}

// A server that drips its reply one byte at a time, each just inside the time-out, gets one
// time-out for the whole reply, not one per byte.
TEST_F(LoopbackTest, ADrippedReplyGetsOneTimeOutInAll)
{
    const CNetTimeout timeout("1");
    CServerScript drip;
    for (int i = 0; i < 16; ++i)
        drip.Say("+").Delay(250);
    m_server.AddConnection(drip);
    CSystemSocket socket;
    ASSERT_TRUE(socket.Create());
    ASSERT_TRUE(socket.Connect("127.0.0.1", m_server.Port()));
    const std::int64_t nStart = socket_platform::NowMs();
    char szReply[256];
    const int nRead = ReadReply(socket, m_platform, szReply, sizeof(szReply), '\n');
    const std::int64_t nElapsed = socket_platform::NowMs() - nStart;
    EXPECT_GE(nElapsed, 900);
    EXPECT_LT(nElapsed, 2000) << "the drip lasts 4 s";
    EXPECT_GT(nRead, 0);
    EXPECT_LT(nRead, 16);
    socket.Close();
    m_server.Stop();
}

namespace
{
// Connects to the listener until a connect no longer gets through (one time-out); the sockets
// that hold its queue are kept in fillers.
bool FillQueue(const CQueueFullListener& listener,
               std::vector<std::unique_ptr<CSystemSocket>>& fillers)
{
    for (int i = 0; i < 8; ++i)
    {
        fillers.push_back(std::make_unique<CSystemSocket>());
        if (!fillers.back()->Connect("127.0.0.1", listener.Port()))
            return true;
    }
    return false;
}
} // namespace

// The addresses of one name share one deadline: two addresses that never accept take one
// time-out, not two.
TEST(SystemSocket, AddressesOfOneNameShareOneDeadline)
{
    const CNetTimeout timeout("1");
    CQueueFullListener listener;
    ASSERT_TRUE(listener.bOpen);
    std::vector<std::unique_ptr<CSystemSocket>> fillers;
    ASSERT_TRUE(FillQueue(listener, fillers)) << "the listener's queue never filled";

    addrinfo* pSecond =
        socket_platform::LookUp("127.0.0.1", std::to_string(listener.Port()).c_str(), true);
    ASSERT_NE(pSecond, nullptr);
    addrinfo first = *pSecond;
    first.ai_next = pSecond;
    CSystemSocket socket;
    const std::int64_t nStart = socket_platform::NowMs();
    EXPECT_FALSE(socket.ConnectToFirst(&first, CSystemSocket::StepDeadline()));
    const std::int64_t nElapsed = socket_platform::NowMs() - nStart;
    EXPECT_EQ(socket.GetLastError(), NET_ETIMEDOUT);
    EXPECT_LT(nElapsed, 1600) << "each address got its own time-out";
    socket_platform::FreeAddresses(pSecond);
}

#ifndef _WIN32
TEST(SystemSocket, ErrnoMapsOntoTheMessageCodes)
{
    EXPECT_EQ(WsaErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(WsaErrorFromErrno(ECONNABORTED), 10053);
    EXPECT_EQ(WsaErrorFromErrno(ENOTCONN), 10057);
    EXPECT_EQ(WsaErrorFromErrno(EPIPE), 10058);
    EXPECT_EQ(WsaErrorFromErrno(EINVAL), 10022);
    EXPECT_EQ(WsaErrorFromErrno(EAGAIN), 10035);
    EXPECT_EQ(WsaErrorFromErrno(EINPROGRESS), 10036);
    EXPECT_EQ(WsaErrorFromErrno(ENOTSOCK), 10038);
    EXPECT_EQ(WsaErrorFromErrno(EMSGSIZE), 10040);
    EXPECT_EQ(WsaErrorFromErrno(EOPNOTSUPP), 10045);
    EXPECT_EQ(WsaErrorFromErrno(ENETDOWN), 10050);
    EXPECT_EQ(WsaErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(WsaErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(WsaErrorFromErrno(ENOENT), 20000 + ENOENT);
}
#endif

TEST(SystemSocket, TimeoutComesFromTheEnvironment)
{
    {
        const CNetTimeout timeout("7");
        EXPECT_EQ(NetTimeoutSeconds(), 7);
    }
    for (const char* pszBad : {"", "0", "-3", "abc", "5s", "99999999999"})
    {
        const CNetTimeout timeout(pszBad);
        EXPECT_EQ(NetTimeoutSeconds(), 60) << pszBad;
    }
}

namespace
{
// A step of the socket that a loopback server never lets finish; false when the step failed.
struct CancelRow
{
    const char* pszName;
    bool bFullQueue; // connect to a listener whose queue is full, else to the fake server
    CServerScript server;
    std::function<bool(CSystemSocket&, int nPort)> step;
};

std::ostream& operator<<(std::ostream& out, const CancelRow& row)
{
    return out << row.pszName;
}

bool ReceiveFrom(CSystemSocket& socket, int nPort)
{
    char buffer[16];
    return socket.Connect("127.0.0.1", nPort) && socket.Receive(buffer, sizeof(buffer)) >= 0;
}

// More than a loopback connection buffers; made once, before any wait is timed (filling 64 MiB
// takes a while under a sanitizer).
const std::string& BigPayload()
{
    static const std::string strBig(64 * 1024 * 1024, 'a');
    return strBig;
}

bool SendTo(CSystemSocket& socket, int nPort)
{
    const std::string& strBig = BigPayload();
    return socket.Connect("127.0.0.1", nPort) &&
           socket.Send(strBig.data(), static_cast<int>(strBig.size())) >= 0;
}
} // namespace

class SocketCancel : public ::testing::TestWithParam<CancelRow>
{
  protected:
    static void SetUpTestSuite() { BigPayload(); }
};

// A cancel request ends any wait of the socket within a slice of the wait, with NET_EINTR, long
// before the time-out. The time-out is far beyond the bound so that a slow (sanitized) build still
// tells the two apart.
TEST_P(SocketCancel, EndsTheWaitWithInterrupted)
{
    const CancelRow& row = GetParam();
    CQueueFullListener listener;
    std::vector<std::unique_ptr<CSystemSocket>> fillers;
    CFakeMailServer server;
    server.AddConnection(row.server);
    if (row.bFullQueue)
    {
        const CNetTimeout fillTimeout("1");
        ASSERT_TRUE(listener.bOpen);
        ASSERT_TRUE(FillQueue(listener, fillers)) << "the listener's queue never filled";
    }
    const CNetTimeout timeout("30");
    CSendCancel cancel;
    CSystemSocket socket(&cancel);
    std::thread canceller([&cancel] {
        PauseMs(300);
        cancel.Request();
    });
    const std::int64_t nStart = socket_platform::NowMs();
    const bool bDone = row.step(socket, row.bFullQueue ? listener.Port() : server.Port());
    const std::int64_t nElapsed = socket_platform::NowMs() - nStart;
    canceller.join();
    EXPECT_FALSE(bDone);
    EXPECT_EQ(socket.GetLastError(), NET_EINTR);
    EXPECT_LT(nElapsed, 10000);
    socket.Close();
    server.Stop();
}

INSTANTIATE_TEST_SUITE_P(Loopback, SocketCancel,
                         ::testing::Values(CancelRow{"ConnectToAFullQueue", true, CServerScript(),
                                                     [](CSystemSocket& socket, int nPort) {
                                                         return socket.Connect("127.0.0.1", nPort);
                                                     }},
                                           CancelRow{"ReceiveFromASilentServer", false,
                                                     CServerScript().Silent(), ReceiveFrom},
                                           CancelRow{"SendToAServerThatStopsReading", false,
                                                     CServerScript().Stall(), SendTo}),
                         [](const ::testing::TestParamInfo<CancelRow>& paramInfo) {
                             return paramInfo.param.pszName;
                         });
