// MailEncodersTest.cpp - base64, Shift_JIS to ISO-2022-JP and header encoded-words, byte for byte.
#include "mail/MailEncoders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::string Jis(const std::string& strSjis, int nCapacity = 1024)
{
    std::vector<char> out(static_cast<std::size_t>(nCapacity) + 8, '\x7F');
    SjisToJis(strSjis.c_str(), out.data(), nCapacity);
    return out.data();
}

std::string Header(const std::string& strLine, std::size_t nOutSize = 1024)
{
    std::vector<char> out(nOutSize, '\x7F');
    if (!EncodeHeaderLine(strLine.c_str(), out.data(), nOutSize))
        return "<does not fit>";
    return out.data();
}

std::string Base64(const std::string& strBytes)
{
    std::vector<char> out(strBytes.size() / 3 * 4 + 8);
    const int n =
        EncodeBase64Bytes(static_cast<int>(strBytes.size()),
                          reinterpret_cast<const unsigned char*>(strBytes.data()), out.data());
    EXPECT_EQ(n, static_cast<int>(strBytes.size()));
    return out.data();
}
} // namespace

TEST(Base64, RfcVectorsAndPadding)
{
    EXPECT_EQ(Base64(""), "");
    EXPECT_EQ(Base64("f"), "Zg==");
    EXPECT_EQ(Base64("fo"), "Zm8=");
    EXPECT_EQ(Base64("foo"), "Zm9v");
    EXPECT_EQ(Base64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64(std::string("\0\xFF\xFE", 3)), "AP/+");
    char out[8] = "x";
    EXPECT_EQ(EncodeBase64Bytes(-3, reinterpret_cast<const unsigned char*>("abc"), out), 0);
    EXPECT_STREQ(out, "");
}

TEST(Base64, TextStopsAtNulAndMakesOneLine)
{
    char out[200];
    EXPECT_EQ(EncodeBase64("fo\0bar", out), 2);
    EXPECT_STREQ(out, "Zm8=");
    const std::string strLong(100, 'a');
    EXPECT_EQ(EncodeBase64(strLong.c_str(), out), 100);
    EXPECT_EQ(std::string(out).size(), 136u);
    EXPECT_EQ(std::string(out).find('\n'), std::string::npos);
}

TEST(SjisToJis, WorkedExamples)
{
    EXPECT_EQ(Jis("あ"), "\x1B$B$\"\x1B(B");
    EXPECT_EQ(Jis("漢字"), "\x1B$B4A;z\x1B(B");
    EXPECT_EQ(Jis("abc 123"), "abc 123");
    EXPECT_EQ(Jis("aあb"), "a\x1B$B$\"\x1B(Bb");
}

// Every lead byte range and all three trail ranges go through the pair arithmetic unchecked.
TEST(SjisToJis, PairArithmeticForEveryRange)
{
    struct Row
    {
        const char* pszSjis;
        const char* pszJisPair;
    };
    const Row rows[] = {
        {"\x81\x40", "\x21\x21"},                           // ideographic space
        {"\x81\x7E", "\x21\x5F"},                           // trail up to 0x7E
        {"\x81\x80", "\x21\x60"},                           // trail 0x80..0x9E
        {"\x81\x9E", "\x21\x7E"}, {"\x81\x9F", "\x22\x21"}, // trail 0x9F and above
        {"\x81\xFC", "\x22\x7E"}, {"\x87\x40", "\x2D\x21"}, // NEC row 13 stays in row 13
        {"\x9F\xFC", "\x5E\x7E"}, {"\xE0\x40", "\x5F\x21"}, {"\xEF\xFC", "\x7E\x7E"},
        {"\xF0\x40", "\x7F\x21"}, // user-defined area passes through as computed
        {"\xFC\xFC", "\x98\x7E"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Jis(row.pszSjis), std::string("\x1B$B") + row.pszJisPair + "\x1B(B")
            << "lead byte " << std::hex << (0xFF & row.pszSjis[0]);
}

TEST(SjisToJis, SingleBytesThatCannotBeSentBecomeDots)
{
    EXPECT_EQ(Jis("\xB1"), ".");              // half-width katakana
    EXPECT_EQ(Jis("a\tb\r\nc"), "a\tb\r\nc"); // TAB, CR and LF pass
    EXPECT_EQ(Jis("\x0C\x1B\x7F\x80\xA0\xFD\xFE\xFF\x01"), ".........");
    EXPECT_EQ(Jis("あ\xB1"), "\x1B$B$\"\x1B(B.");
}

// The pair arithmetic would turn a trail byte 0x1F into a NUL and lose the rest of the chunk.
TEST(SjisToJis, ATrailByteThatWouldGiveANulIsNotPaired)
{
    char out[32];
    EXPECT_EQ(SjisToJis("\x81\x1F"
                        "abc",
                        out, sizeof(out)),
              5);
    EXPECT_STREQ(out, "..abc");
    EXPECT_EQ(Jis("\x81\x0A"
                  "a"),
              ".\na");             // the line break is kept, outside the kanji mode
    EXPECT_EQ(Jis("\xE9,"), ".,"); // Latin-1 "é," read as Shift_JIS
}

// Every trail byte after every lead byte: the output is 7-bit (apart from the first byte of the
// user-defined area 0xF0-0xFC, computed as it always was), no CR or LF stands inside ESC $ B, a
// CR or LF after a lead byte still breaks the line, and a valid pair is converted as before.
TEST(SjisToJis, EveryLeadAndTrailByteGivesSevenBitsWithoutLineBreaksInKanji)
{
    for (int nLead = 0x81; nLead <= 0xFC; ++nLead)
    {
        if (nLead >= 0xA0 && nLead <= 0xDF)
            continue;
        for (int nTrail = 0x01; nTrail <= 0xFF; ++nTrail)
        {
            const std::string strIn{static_cast<char>(nLead), static_cast<char>(nTrail), 'z'};
            const std::string strOut = Jis(strIn);
            SCOPED_TRACE(testing::Message() << std::hex << "lead " << nLead << " trail " << nTrail);
            bool bKanji = false;
            for (std::size_t i = 0; i < strOut.size(); ++i)
            {
                const auto c = static_cast<unsigned char>(strOut[i]);
                if (c == 0x1B && i + 2 < strOut.size())
                {
                    bKanji = strOut[i + 1] == '$';
                    i += 2;
                    continue;
                }
                EXPECT_FALSE(bKanji && (c == '\r' || c == '\n'));
                const bool bUserDefinedFirst = bKanji && nLead >= 0xF0 && i == 3;
                EXPECT_TRUE(c < 0x80 || bUserDefinedFirst);
            }
            EXPECT_FALSE(bKanji);
            ASSERT_EQ(strOut.back(), 'z');
            const bool bValidTrail =
                (nTrail >= 0x40 && nTrail <= 0x7E) || (nTrail >= 0x80 && nTrail <= 0xFC);
            EXPECT_EQ(strOut.substr(0, 3) == "\x1B$B", bValidTrail);
            if (nTrail == '\r' || nTrail == '\n')
            {
                EXPECT_EQ(strOut, std::string(".") + static_cast<char>(nTrail) + "z");
            }
        }
    }
}

TEST(SjisToJis, EmptyTextAndLoneLeadByteAtTheEnd)
{
    char out[16] = "junk";
    EXPECT_EQ(SjisToJis("", out, 16), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(SjisToJis("a\x82", out, 16), 1);
    EXPECT_STREQ(out, "a");
    EXPECT_EQ(SjisToJis("あ\x82", out, 16), 2);
    EXPECT_STREQ(out, "\x1B$B$\"\x1B(B");
}

// A long text is converted in chunks: every chunk fits capacity - 1 bytes with its NUL, is a
// complete ISO-2022-JP string, and the chunks together are the whole conversion.
TEST(SjisToJis, BudgetSplitsLongTextIntoCompleteChunks)
{
    std::string strText;
    for (int i = 0; i < 700; ++i)
        strText += (i % 7 == 0) ? "x" : "漢";
    for (int nCapacity : {16, 17, 100, 1024})
    {
        std::string strJoined;
        std::size_t nPos = 0;
        int nCalls = 0;
        while (nPos < strText.size())
        {
            std::vector<char> out(static_cast<std::size_t>(nCapacity) + 16, '\x55');
            const int n = SjisToJis(strText.c_str() + nPos, out.data(), nCapacity);
            ASSERT_GT(n, 0);
            const std::string strChunk = out.data();
            EXPECT_LE(strChunk.size() + 1, static_cast<std::size_t>(nCapacity) - 1);
            EXPECT_EQ(out[static_cast<std::size_t>(nCapacity) - 1], '\x55')
                << "wrote past capacity - 1";
            const std::size_t nLastEsc = strChunk.rfind('\x1B');
            if (nLastEsc != std::string::npos)
            {
                EXPECT_EQ(strChunk.substr(nLastEsc, 3), "\x1B(B") << "chunk must end in ASCII";
            }
            strJoined += strChunk;
            nPos += static_cast<std::size_t>(n);
            ++nCalls;
        }
        EXPECT_GT(nCalls, 1);
        // Joining the chunks gives the one-shot conversion, with ESC ( B ESC $ B at the seams.
        std::string strSeamless = strJoined;
        for (std::size_t i; (i = strSeamless.find("\x1B(B\x1B$B")) != std::string::npos;)
            strSeamless.erase(i, 6);
        EXPECT_EQ(strSeamless, Jis(strText, 1 << 16)) << "capacity " << nCapacity;
    }
}

TEST(NextRunLength, LowRunsHighPairsAndTheEnd)
{
    EXPECT_EQ(NextRunLength(""), 0);
    EXPECT_EQ(NextRunLength("abc"), 3);
    EXPECT_EQ(NextRunLength("ab漢"), 2);
    EXPECT_EQ(NextRunLength("漢字a"), -4);
    EXPECT_EQ(NextRunLength("\xB1\r\n"), -2); // a high byte pairs with whatever follows
    EXPECT_EQ(NextRunLength("漢\x82"), -3);   // a high byte before the NUL counts alone
    EXPECT_EQ(NextRunLength("\xB1\xB1\xB1"
                            "a"),
              -4);
}

TEST(EncodeHeaderLine, WorkedExamples)
{
    EXPECT_EQ(Header("Subject: あ\r\n"), "Subject: =?ISO-2022-JP?B?GyRCJCIbKEI=?=\r\n");
    EXPECT_EQ(Header("Subject: 第1回\r\n"),
              "Subject: =?ISO-2022-JP?B?GyRCQmgbKEI=?=1=?ISO-2022-JP?B?GyRCMnMbKEI=?=\r\n");
    EXPECT_EQ(Header("東京 大阪"),
              "=?ISO-2022-JP?B?GyRCRWw1fhsoQg==?= =?ISO-2022-JP?B?GyRCQmc6ZRsoQg==?=");
    EXPECT_EQ(Header("From: Taro <taro@example.jp>\r\n"), "From: Taro <taro@example.jp>\r\n");
    EXPECT_EQ(Header(""), "");
}

// A half-width katakana at the end of the value takes the line's CR into its encoded-word.
TEST(EncodeHeaderLine, KatakanaSwallowsTheCarriageReturn)
{
    EXPECT_EQ(Header("Subject: \xB1\r\n"), "Subject: =?ISO-2022-JP?B?Lg0=?=\n");
    // A lead byte at the very end is dropped; its run still makes an (empty) encoded-word.
    EXPECT_EQ(Header("Subject: a\x82"), "Subject: a=?ISO-2022-JP?B?"
                                        "?=");
}

TEST(EncodeHeaderLine, RefusesWhatDoesNotFitInsteadOfCutting)
{
    const std::string strLine = "Subject: あ\r\n";
    const std::size_t nEncoded = Header(strLine).size();
    EXPECT_EQ(Header(strLine, nEncoded + 1), Header(strLine));
    EXPECT_EQ(Header(strLine, nEncoded), "<does not fit>");
    EXPECT_EQ(Header("abc", 3), "<does not fit>");
    // 32 pairs of one double-byte and one ASCII character fit a 1024-byte buffer, 33 do not.
    std::string strPairs32;
    for (int i = 0; i < 32; ++i)
        strPairs32 += "あa";
    EXPECT_NE(Header("Subject: " + strPairs32 + "\r\n"), "<does not fit>");
    EXPECT_EQ(Header("Subject: " + strPairs32 + "あa\r\n"), "<does not fit>");
    // A run longer than the work buffer is refused, never overrun.
    EXPECT_EQ(Header(std::string(1100, '\xB1'), 1 << 16), "<does not fit>");
}

// RFC 2045 section 6.8: lines of 76 characters (57 bytes), the last one shorter and padded.
TEST(EncodeBase64Lines, LinesOf76Characters)
{
    EXPECT_EQ(EncodeBase64Lines(""), "");
    EXPECT_EQ(EncodeBase64Lines("foo"), "Zm9v\r\n");
    const std::string strLines = EncodeBase64Lines(std::string(57 * 3 + 1, 'a'));
    std::size_t nLines = 0;
    for (std::size_t nAt = 0, nEnd; (nEnd = strLines.find("\r\n", nAt)) != std::string::npos;
         nAt = nEnd + 2, ++nLines)
        EXPECT_EQ(nEnd - nAt, nLines < 3 ? 76u : 4u);
    EXPECT_EQ(nLines, 4u);
    EXPECT_EQ(strLines.substr(strLines.size() - 6), "YQ==\r\n");
}

// RFC 2045 section 6.7: "=" and bytes outside the printable range as "=XX", a blank before a
// line end encoded, line ends as CR LF, soft breaks so no line passes 76 characters.
TEST(EncodeQuotedPrintable, Rows)
{
    struct Row
    {
        std::string strText, strQuoted;
    };
    const Row rows[] = {
        {"a=b\r\n", "a=3Db\r\n"},
        {"\x1B$B$\"\x1B(B\n", "=1B$B$\"=1B(B\r\n"},
        {"end \nx\t", "end=20\r\nx=09"},
        {"a\rb", "a\r\nb"},
        {"\xE2\x91\xA0", "=E2=91=A0"},
        {std::string(76, 'x'), std::string(76, 'x')},
        {std::string(77, 'x'), std::string(75, 'x') + "=\r\nxx"},
        {std::string(74, 'x') + "=", std::string(74, 'x') + "=\r\n=3D"},
        // A blank that a soft break leaves at a line's start goes encoded.
        {std::string(75, 'x') + " the", std::string(75, 'x') + "=\r\n=20the"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(EncodeQuotedPrintable(row.strText), row.strQuoted) << row.strText;
}
