// LineTransportTest.cpp - SendText, ReadReply and SendCommand over a scripted socket, where each
// scripted piece is exactly one receive.
#include "mail/LineTransport.h"

#include "support/ScriptedPlatform.h"
#include "support/ScriptedSocket.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class LineTransportTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_socket.Create();
        m_socket.Connect("mail.example.jp", 25);
    }
    int Read(int nCapacity = 128)
    {
        m_reply.assign(static_cast<std::size_t>(nCapacity), '\x55');
        return ReadReply(m_socket, m_platform, m_reply.data(), nCapacity, '\n');
    }
    std::string Reply() const { return m_reply.c_str(); }

    CScriptedSocket m_socket;
    CScriptedPlatform m_platform;
    std::string m_reply;
};

TEST_F(LineTransportTest, ReplySplitInTwoPiecesIsJoined)
{
    m_socket.Piece("25").Piece("0 OK\r\n");
    EXPECT_EQ(Read(), 8);
    EXPECT_EQ(Reply(), "250 OK\r\n");
    EXPECT_TRUE(m_socket.ScriptDone());
}

TEST_F(LineTransportTest, MultiLineReplyInOnePieceIsReadWhole)
{
    m_socket.Piece("250-first\r\n250 second\r\n");
    EXPECT_EQ(Read(), 23);
    EXPECT_EQ(Reply(), "250-first\r\n250 second\r\n");
}

// Nothing looks for LF inside a piece: a piece ending at a line end ends the reply.
TEST_F(LineTransportTest, ReplyEndsWithThePieceThatEndsInTheTerminator)
{
    m_socket.Piece("220-a\r\n").Piece("220 b\r\n");
    EXPECT_EQ(Read(), 7);
    EXPECT_EQ(Reply(), "220-a\r\n");
    EXPECT_EQ(Read(), 7);
    EXPECT_EQ(Reply(), "220 b\r\n");
}

TEST_F(LineTransportTest, ServerThatClosesGivesWhatArrived)
{
    m_socket.Closed();
    EXPECT_EQ(Read(), 0);
    m_socket.Piece("25").Closed();
    EXPECT_EQ(Read(), 2);
    EXPECT_EQ(Reply(), "25");
}

// A piece that would fill the buffer is dropped: 127 bytes fit a 128-byte buffer, 128 do not.
TEST_F(LineTransportTest, PieceReachingCapacityIsDropped)
{
    const std::string str127 = std::string(125, 'x') + "\r\n";
    m_socket.Piece(str127);
    EXPECT_EQ(Read(128), 127);
    EXPECT_EQ(Reply(), str127);
    m_socket.Piece("x" + str127);
    EXPECT_EQ(Read(128), 0);
    EXPECT_EQ(Reply(), "");
    m_socket.Piece(std::string(100, 'a')).Piece(std::string(30, 'b') + "\n");
    EXPECT_EQ(Read(128), 100);
    EXPECT_EQ(m_reply[128 - 1], '\0') << "the buffer is cleared whole";
}

// A piece holding NUL counts whole but adds its text up to the NUL, never past the buffer.
TEST_F(LineTransportTest, PieceWithNulCountsWhole)
{
    m_socket.Piece(std::string("+O\0xx", 5)).Piece("K\n");
    EXPECT_EQ(Read(), 7);
    EXPECT_EQ(Reply(), "+OK\n");
}

struct ErrorRow
{
    int nCode;
    const char* pszMessage; // nullptr: no message, the bytes so far are kept
};

TEST_F(LineTransportTest, ReceiveErrorsShowTheirMessageOrNone)
{
    const ErrorRow rows[] = {
        {10022, "RxSocket: WSAEINVAL"},
        {10035, "RxSocket: WSAEWOULDBLOCK"},
        {10036, "RxSocket: WSAEINPROGRESS"},
        {10038, "RxSocket: WSAENOTSOCK"},
        {10040, "RxSocket: WSAEMSGSIZE"},
        {10045, "RxSocket: WSAEOPNOTSUPP"},
        {10050, "RxSocket: WSAENETDOWN"},
        {10053, "RxSocket: WSAECONNABORTED"},
        {10054, "RxSocket: WSAECONNRESET"},
        {10057, "RxSocket: WSAENOTCONN"},
        {10058, "RxSocket: WSAESHUTDOWN"},
        {10093, "RxSocket: WSANOTINITIALISED"},
        {10060, nullptr},
        {10061, nullptr},
        {20005, nullptr},
    };
    m_platform.m_bAllowMessages = true;
    for (const ErrorRow& row : rows)
    {
        m_platform.m_messages.clear();
        m_socket.Piece("25").Fail(row.nCode);
        if (row.pszMessage != nullptr)
        {
            EXPECT_EQ(Read(), 0) << row.nCode;
            EXPECT_EQ(m_platform.m_messages, std::vector<std::string>{row.pszMessage});
        }
        else
        {
            EXPECT_EQ(Read(), 2) << row.nCode;
            EXPECT_TRUE(m_platform.m_messages.empty()) << row.nCode;
        }
    }
}

TEST_F(LineTransportTest, SendTextGoesOutInPiecesOfAtMost1024Bytes)
{
    EXPECT_EQ(SendText(m_socket, ""), 0);
    EXPECT_EQ(m_socket.m_nSendCalls, 0);
    const std::string strText(2500, 'z');
    EXPECT_EQ(SendText(m_socket, strText.c_str()), 2500);
    EXPECT_EQ(m_socket.m_nSendCalls, 3);
    EXPECT_EQ(m_socket.m_sent.back(), strText);
}

TEST_F(LineTransportTest, SendTextStopsAtAFailedSend)
{
    m_socket.SendLimit(1024);
    const std::string strText(2500, 'z');
    EXPECT_EQ(SendText(m_socket, strText.c_str()), 1024);
    EXPECT_EQ(m_socket.m_nSendCalls, 2);
}

TEST_F(LineTransportTest, SendCommandResults)
{
    m_socket.Piece("25").Piece("0 OK\r\n");
    EXPECT_EQ(SendCommand(m_socket, m_platform, "HELO merrows\n", 250), CommandResult::Ok);
    m_socket.Piece("2500 ok\r\n");
    EXPECT_EQ(SendCommand(m_socket, m_platform, "NOOP\n", 250), CommandResult::WrongCode);
    m_socket.Piece("25\n"); // three bytes are a reply
    EXPECT_EQ(SendCommand(m_socket, m_platform, "NOOP\n", 25), CommandResult::Ok);
    m_socket.Piece("2\n");
    EXPECT_EQ(SendCommand(m_socket, m_platform, "NOOP\n", 250), CommandResult::NoReply);
    m_socket.Closed();
    EXPECT_EQ(SendCommand(m_socket, m_platform, "NOOP\n", 250), CommandResult::NoReply);
    EXPECT_EQ(m_socket.m_sent.back(), "HELO merrows\nNOOP\nNOOP\nNOOP\nNOOP\n");
    m_socket.SendLimit(3);
    EXPECT_EQ(SendCommand(m_socket, m_platform, "NOOP\n", 250), CommandResult::NotSent);
}

TEST(ReplyCode, TakenAsAtoiDoes)
{
    EXPECT_EQ(ReplyCode("250 ok"), 250);
    EXPECT_EQ(ReplyCode("  \t354-go"), 354);
    EXPECT_EQ(ReplyCode("+220"), 220);
    EXPECT_EQ(ReplyCode("-250"), -250);
    EXPECT_EQ(ReplyCode("x250"), 0);
    EXPECT_EQ(ReplyCode(""), 0);
    EXPECT_EQ(ReplyCode("2500"), 2500);
    EXPECT_GT(ReplyCode("99999999999999999999999999"), 0) << "saturates, never overflows";
}
