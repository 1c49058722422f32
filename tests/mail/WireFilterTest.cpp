// WireFilterTest.cpp - SMTP transparency and the buffered data phase of a connection.
#include "mail/BufferedSocket.h"
#include "mail/WireFilter.h"

#include "support/ScriptedSocket.h"

#include <gtest/gtest.h>

namespace
{
std::string Filtered(std::initializer_list<std::string> pieces, bool bFinish = true)
{
    CWireFilter filter;
    std::string strOut;
    for (const std::string& strPiece : pieces)
        filter.Filter(strPiece.data(), strPiece.size(), strOut);
    if (bFinish)
        filter.Finish(strOut);
    return strOut;
}
} // namespace

TEST(WireFilter, LineEndsAndLeadingDots)
{
    struct Row
    {
        std::string strIn;
        std::string strWire;
    };
    const Row rows[] = {
        {"", ""},
        {"a\r\nb\r\n", "a\r\nb\r\n"}, // CR LF passes unchanged
        {"a\nb\n", "a\r\nb\r\n"},     // lone LF
        {"a\rb\r", "a\r\nb\r\n"},     // lone CR, also at the very end
        {"a\r\r\nb", "a\r\n\r\nb"},
        {"\n\n", "\r\n\r\n"},
        {".", ".."}, // the data starts a line
        {"a\n.\nb", "a\r\n..\r\nb"},
        {"a\r\n..x\r\n", "a\r\n...x\r\n"},
        {"a.b\n x.", "a.b\r\n x."}, // only a dot that starts a line
        {"a\r.b", "a\r\n..b"},
        {std::string("\0.\n", 3), std::string("\0.\r\n", 4)},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Filtered({row.strIn}), row.strWire) << row.strIn;
}

// Pieces may split anywhere, even between CR and LF or before a leading dot.
TEST(WireFilter, StateCarriesAcrossPieces)
{
    EXPECT_EQ(Filtered({"a\r", "\nb"}), "a\r\nb");
    EXPECT_EQ(Filtered({"a\r", ".b"}), "a\r\n..b");
    EXPECT_EQ(Filtered({"a\n", ".", "."}), "a\r\n...");
    EXPECT_EQ(Filtered({"a\r"}, false), "a\r");
}

class BufferedSocketTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_buffered.Create();
        m_buffered.Connect("smtp.example.jp", 25);
    }
    CScriptedSocket m_socket;
    CBufferedSocket m_buffered{m_socket};
};

TEST_F(BufferedSocketTest, DataIsFilteredAndGatheredIntoFewWrites)
{
    m_buffered.Send("DATA\n", 5);
    EXPECT_EQ(m_socket.m_nSendCalls, 1) << "commands go straight out";
    m_buffered.BeginData();
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(m_buffered.Send(".line\n", 6), 6);
    m_buffered.EndData();
    EXPECT_EQ(m_buffered.Send("\r\n.\r\n", 5), 5);
    EXPECT_TRUE(m_buffered.FinishData());
    EXPECT_LE(m_socket.m_nSendCalls, 3);
    std::string strExpected = "DATA\n";
    for (int i = 0; i < 1000; ++i)
        strExpected += "..line\r\n";
    EXPECT_EQ(m_socket.m_sent[0], strExpected + "\r\n.\r\n");
    m_buffered.Send("QUIT\n", 5);
    EXPECT_EQ(m_socket.m_sent[0].substr(m_socket.m_sent[0].size() - 5), "QUIT\n");
}

// The end-of-data line is never stuffed; a CR left at the end of the message is completed first.
TEST_F(BufferedSocketTest, EndOfDataLineGoesOutUnfiltered)
{
    m_buffered.BeginData();
    m_buffered.Send("x\r", 2);
    m_buffered.EndData();
    m_buffered.Send("\r\n.\r\n", 5);
    EXPECT_TRUE(m_buffered.FinishData());
    EXPECT_EQ(m_socket.m_sent[0], "x\r\n\r\n.\r\n");
}

TEST_F(BufferedSocketTest, ReceiveFlushesFirst)
{
    m_socket.Piece("250 ok\r\n");
    m_buffered.BeginData();
    m_buffered.Send("hello\n", 6);
    EXPECT_TRUE(m_socket.m_sent[0].empty());
    char buffer[16];
    EXPECT_EQ(m_buffered.Receive(buffer, 15), 8);
    EXPECT_EQ(m_socket.m_sent[0], "hello\r\n");
}

TEST_F(BufferedSocketTest, FailedFlushFailsEveryLaterSend)
{
    m_socket.SendLimit(10);
    m_buffered.BeginData();
    EXPECT_EQ(m_buffered.Send("0123456789abc", 13), 13);
    EXPECT_FALSE(m_buffered.Flush());
    EXPECT_TRUE(m_buffered.DataFailed());
    EXPECT_EQ(m_buffered.Send("more", 4), -1);
    EXPECT_FALSE(m_buffered.FinishData());
    EXPECT_TRUE(m_socket.m_sent[0].empty());
}

TEST_F(BufferedSocketTest, CloseDropsWhatIsBuffered)
{
    m_buffered.BeginData();
    m_buffered.Send("partial", 7);
    m_buffered.Close();
    EXPECT_TRUE(m_socket.m_sent[0].empty());
    EXPECT_FALSE(m_socket.m_bOpen);
}

// Whole lines go out unfiltered only where a line starts: after what was buffered, in order; in a
// line left open they are filtered like any other data.
TEST_F(BufferedSocketTest, WholeLinesSkipTheFilterOnlyAtALineStart)
{
    m_buffered.BeginData();
    m_buffered.Send("head\n", 5);
    EXPECT_EQ(m_buffered.SendLines("QUJD\r\nREVG\r\n", 12), 12);
    m_buffered.Send("open", 4);
    EXPECT_EQ(m_buffered.SendLines(".x\r\n", 4), 4);
    m_buffered.EndData();
    EXPECT_TRUE(m_buffered.FinishData());
    EXPECT_EQ(m_socket.m_sent[0], "head\r\nQUJD\r\nREVG\r\nopen.x\r\n");
    EXPECT_EQ(m_socket.m_nSendCalls, 3);
}
