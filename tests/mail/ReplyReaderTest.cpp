// ReplyReaderTest.cpp - the bounds of whole-reply reading: line length, line count, codes that
// differ between lines, malformed lines, and replies split across pieces.
#include "mail/ReplyReader.h"

#include "support/ScriptedSocket.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
struct ReplyRow
{
    const char* pszName;
    std::vector<std::string> pieces; // what each receive returns; then the peer closes
    int nCode;                       // what ReadSmtpReply gives
    std::size_t nLines;              // lines of a whole reply
};

std::string Lines(std::size_t nCount, const std::string& strLine)
{
    std::string strText;
    for (std::size_t i = 0; i < nCount; ++i)
        strText += strLine;
    return strText;
}

const std::string kLongText(CReplyReader::MAX_LINE - 6, 'x'); // "250 " + text + CR LF = MAX_LINE

class ReplyReaderLimits : public ::testing::TestWithParam<ReplyRow>
{
};

TEST_P(ReplyReaderLimits, ReadsWholeRepliesWithinTheBoundsOnly)
{
    const ReplyRow& row = GetParam();
    CScriptedSocket socket;
    socket.Create();
    for (const std::string& strPiece : row.pieces)
        socket.Piece(strPiece);
    socket.Closed();
    socket.Connect("server", 25);
    CReplyReader reader(socket);
    std::vector<std::string> lines;
    EXPECT_EQ(reader.ReadSmtpReply(lines), row.nCode);
    if (row.nCode >= 0)
    {
        EXPECT_EQ(lines.size(), row.nLines);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReplyReaderLimits,
    ::testing::Values(
        ReplyRow{"OneLine", {"250 OK\r\n"}, 250, 1}, ReplyRow{"BareCode", {"250\r\n"}, 250, 1},
        ReplyRow{"SplitInsideTheCode", {"25", "0 OK\r\n"}, 250, 1},
        ReplyRow{"MultiLineInPieces", {"250-a\r\n250-", "b\r\n", "250 c\r\n"}, 250, 3},
        ReplyRow{"BareLfEndsALine", {"250-a\n250 b\n"}, 250, 2},
        ReplyRow{"LongestLineAccepted", {"250 " + kLongText + "\r\n"}, 250, 1},
        ReplyRow{"LineOverTheLimit", {"250 " + kLongText + "xx\r\n"}, -1, 0},
        ReplyRow{
            "EndlessLineWithoutLf",
            {std::string(CReplyReader::MAX_LINE, 'x'), std::string(CReplyReader::MAX_LINE, 'x')},
            -1,
            0},
        ReplyRow{"MostLinesAccepted",
                 {Lines(CReplyReader::MAX_LINES - 1, "250-x\r\n") + "250 x\r\n"},
                 250,
                 CReplyReader::MAX_LINES},
        ReplyRow{
            "OneLineTooMany", {Lines(CReplyReader::MAX_LINES, "250-x\r\n") + "250 x\r\n"}, -1, 0},
        ReplyRow{"CodesDiffer", {"250-a\r\n251 b\r\n"}, -1, 0},
        ReplyRow{"NotDigits", {"2x0 OK\r\n"}, -1, 0}, ReplyRow{"NoSeparator", {"250OK\r\n"}, -1, 0},
        ReplyRow{"ClosedMidReply", {"250-a\r\n"}, -1, 0}, ReplyRow{"ClosedAtOnce", {}, -1, 0}),
    [](const ::testing::TestParamInfo<ReplyRow>& paramInfo) {
        return std::string(paramInfo.param.pszName);
    });

// Bytes after a reply stay pending: a caller can tell that the server said more than it was asked.
TEST(ReplyReader, BytesAfterTheReplyStayPendingUntilReset)
{
    CScriptedSocket socket;
    socket.Create();
    socket.Piece("220 go ahead\r\n250 injected\r\n");
    socket.Connect("server", 25);
    CReplyReader reader(socket);
    std::vector<std::string> lines;
    ASSERT_EQ(reader.ReadSmtpReply(lines), 220);
    EXPECT_TRUE(reader.HasPending());
    reader.Reset();
    EXPECT_FALSE(reader.HasPending());
}
} // namespace
