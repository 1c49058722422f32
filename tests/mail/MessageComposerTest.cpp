// MessageComposerTest.cpp - the attachment part, the text part and their limits, written to a
// memory sink.
#include "mail/MessageComposer.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <regex>

#include <climits>
#include <cstring>

namespace
{
// Appends what it is given; may be told to take only part of each text, as a failing socket does.
class CStringSink : public ITextSink
{
  public:
    int Write(const char* pszText) override
    {
        const int nLength = static_cast<int>(std::strlen(pszText));
        const int nTaken = m_nTakeAtMost >= 0 && nLength > m_nTakeAtMost ? m_nTakeAtMost : nLength;
        m_strText.append(pszText, static_cast<std::size_t>(nTaken));
        ++m_nWrites;
        return nTaken;
    }
    std::string m_strText;
    int m_nWrites = 0;
    int m_nTakeAtMost = -1;
};

std::string Bytes(int nCount)
{
    std::string strBytes;
    for (int i = 0; i < nCount; ++i)
        strBytes.push_back(static_cast<char>(i));
    return strBytes;
}

const std::string kLine72 = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMz"
                            "Q1Njc4OTo7PD0+P0BBQkNERUZH\r\n";
const std::string kAsciiHeaders = "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"
                                  "Content-Disposition: attachment;\r\n filename=\"a.bin\"\r\n"
                                  "Content-Transfer-Encoding: base64\r\n\r\n";
} // namespace

TEST(WriteAttachmentPart, LinesOf72BytesAndTheShortLastLine)
{
    CTempFolder folder;
    struct Row
    {
        int nBytes;
        std::string strContent;
    };
    const Row rows[] = {
        {72, kLine72},
        {73, kLine72 + "SA==\r\n"},
        {144 + 2, kLine72 + "SElKS0xNTk9QUVJTVFVWV1hZWltcXV5fYGFiY2RlZmdoaWprbG1ub3BxcnN0dXZ3eHl6e3"
                            "x9fn+AgYKDhIWGh4iJiouMjY6P\r\nkJE=\r\n"},
        {1, "AA==\r\n"},
    };
    for (const Row& row : rows)
    {
        CStringSink sink;
        const std::string strPath = folder.Write("a.bin", Bytes(row.nBytes));
        const int nCount = WriteAttachmentPart(sink, strPath.c_str());
        EXPECT_EQ(sink.m_strText, kAsciiHeaders + row.strContent) << row.nBytes;
        EXPECT_EQ(nCount, static_cast<int>(sink.m_strText.size()));
    }
}

TEST(WriteAttachmentPart, EmptyFileWritesNothingAndMissingFileRaises)
{
    CTempFolder folder;
    CStringSink sink;
    EXPECT_EQ(WriteAttachmentPart(sink, folder.Write("empty.bin", "").c_str()), 0);
    EXPECT_EQ(sink.m_nWrites, 0);
    EXPECT_THROW(WriteAttachmentPart(sink, folder.Path("missing.bin").c_str()), CFileException);
}

// Composition goes on when the sink takes less, and adds up what it took.
TEST(WriteAttachmentPart, ShortWritesAreSummedNotStopped)
{
    CTempFolder folder;
    CStringSink sink;
    sink.m_nTakeAtMost = 10;
    const int nCount = WriteAttachmentPart(sink, folder.Write("a.bin", Bytes(200)).c_str());
    EXPECT_EQ(sink.m_nWrites, 3 + 3);
    EXPECT_EQ(nCount, 60);
}

TEST(AttachmentHeaderLines, NameLimitsOfThe256ByteBuffers)
{
    std::array<std::string, 2> lines;
    EXPECT_TRUE(
        FormatAttachmentHeaderLines(("/d/" + std::string(202, 'n') + ".txt").c_str(), lines));
    EXPECT_EQ(lines[0].size(), 255u);
    EXPECT_FALSE(
        FormatAttachmentHeaderLines(("/d/" + std::string(203, 'n') + ".txt").c_str(), lines));
    std::string str66;
    for (int i = 0; i < 66; ++i)
        str66 += "資";
    EXPECT_TRUE(FormatAttachmentHeaderLines(("/d/" + str66 + ".txt").c_str(), lines));
    EXPECT_FALSE(FormatAttachmentHeaderLines(("/d/" + str66 + "資.txt").c_str(), lines));
    EXPECT_TRUE(FormatAttachmentHeaderLines("資料.txt", lines));
    EXPECT_EQ(lines[1], "Content-Disposition: attachment;\r\n "
                        "filename=\"=?ISO-2022-JP?B?GyRCO3FOQRsoQg==?=.txt\"\r\n");
}

// A '"' or '\' in the name is escaped, so the quoted parameter ends where the name ends; the
// 0x5C second byte of ソ is part of its character and is not.
TEST(AttachmentHeaderLines, QuotesAndBackslashesInTheNameAreEscaped)
{
    struct Row
    {
        const char* pszPath;
        const char* pszQuoted;
    };
    const Row rows[] = {
        {"/d/x\".exe\" y.txt", "x\\\".exe\\\" y.txt"},
        {"/d/a\\b.txt", "a\\\\b.txt"},
        {"/d/plain name.txt", "plain name.txt"},
        {"/d/ソ\".txt", "=?ISO-2022-JP?B?GyRCJT0bKEI=?=\\\".txt"},
    };
    for (const Row& row : rows)
    {
        std::array<std::string, 2> lines;
        ASSERT_TRUE(FormatAttachmentHeaderLines(row.pszPath, lines)) << row.pszPath;
        EXPECT_EQ(lines[0], std::string("Content-Type: application/octet-stream; name=\"") +
                                row.pszQuoted + "\"\r\n");
        EXPECT_EQ(lines[1], std::string("Content-Disposition: attachment;\r\n filename=\"") +
                                row.pszQuoted + "\"\r\n");
    }
}

TEST(AttachmentFileName, LastPartOfThePath)
{
    EXPECT_EQ(AttachmentFileName("/home/me/資料.tar.gz"), "資料.tar.gz");
    EXPECT_EQ(AttachmentFileName("plain"), "plain");
    EXPECT_EQ(AttachmentFileName("/dir/ソ.txt"), "ソ.txt"); // trail byte 0x5C is not a separator
}

TEST(WriteTextPart, HeadersThenChunksAndTheCountOfEverything)
{
    CStringSink sink;
    const int nCount = WriteTextPart(sink, "あ\r\nb");
    EXPECT_EQ(sink.m_strText,
              std::string(kTextPartContentType) + kTextPartEncoding + "\x1B$B$\"\x1B(B\r\nb");
    EXPECT_EQ(nCount, static_cast<int>(sink.m_strText.size()));
    CStringSink empty;
    EXPECT_EQ(WriteTextPart(empty, ""),
              static_cast<int>(std::strlen(kTextPartContentType) + std::strlen(kTextPartEncoding)));
    EXPECT_EQ(empty.m_nWrites, 2);
}

// A line that would pass 998 bytes on the wire is broken before the character that would pass
// the limit, with the kanji mode closed before the break and opened again after it; a line of
// 998 bytes goes out unchanged. A leading "." counts, as transparency doubles it on the wire.
TEST(WriteTextPart, LinesOver998BytesAreBrokenAtACharacterBoundary)
{
    const std::string kK = "\x1B$B", kA = "\x1B(B", a = "\x24\x22"; // あ in JIS
    auto repeat = [](const std::string& strPiece, int n) {
        std::string strOut;
        for (int i = 0; i < n; ++i)
            strOut += strPiece;
        return strOut;
    };
    struct Row
    {
        const char* pszWhat;
        std::string strBody, strWire;
    };
    const Row rows[] = {
        {"ascii 998", std::string(998, 'x') + "\r\n", std::string(998, 'x') + "\r\n"},
        {"ascii 999", std::string(999, 'x'), std::string(998, 'x') + "\r\nx"},
        {"dot first", "." + std::string(997, 'x'), "." + std::string(996, 'x') + "\r\nx"},
        {"kanji 998", repeat("あ", 496) + "\n", kK + repeat(a, 496) + kA + "\n"},
        {"kanji 497", repeat("あ", 497), kK + repeat(a, 496) + kA + "\r\n" + kK + a + kA},
        {"ascii then kanji", std::string(991, 'x') + "あ",
         std::string(991, 'x') + "\r\n" + kK + a + kA},
        {"second line too", "y\r\n" + std::string(1000, 'x'),
         "y\r\n" + std::string(998, 'x') + "\r\nxx"},
    };
    for (const Row& row : rows)
    {
        CStringSink sink;
        WriteTextPart(sink, row.strBody);
        EXPECT_EQ(sink.m_strText,
                  std::string(kTextPartContentType) + kTextPartEncoding + row.strWire)
            << row.pszWhat;
    }
}

TEST(AddCount, StopsAtIntMaxInsteadOfWrapping)
{
    EXPECT_EQ(AddCount(5, 7), 12);
    EXPECT_EQ(AddCount(INT_MAX - 1, 98), INT_MAX);
    EXPECT_EQ(AddCount(INT_MAX, 98), INT_MAX);
    EXPECT_EQ(AddCount(10, -1), 9);
}

// Date in the RFC 5322 form with the local offset (the tests run in Japan's time zone);
// Message-ID unique, its right part the sender's domain
// or "localhost" when the address has none that can stand there.
TEST(MessageComposer, DateAndMessageIdLines)
{
    EXPECT_EQ(DateHeaderLine(1088985903), "Date: Mon, 05 Jul 2004 09:05:03 +0900\r\n");
    EXPECT_EQ(DateHeaderLine(0), "Date: Thu, 01 Jan 1970 09:00:00 +0900\r\n");
    const std::string strFirst = MessageIdHeaderLine(1088985903, "taro@mail.example.jp");
    EXPECT_TRUE(std::regex_match(strFirst, std::regex("Message-ID: <40e89b2f\\.[0-9a-f]{16}"
                                                      "@mail\\.example\\.jp>\r\n")))
        << strFirst;
    EXPECT_NE(MessageIdHeaderLine(1088985903, "taro@mail.example.jp"), strFirst);
    for (const char* pszAddress : {"taro", "taro@", "taro@例え.jp", "a@b>c"})
        EXPECT_NE(MessageIdHeaderLine(0, pszAddress).find("@localhost>\r\n"), std::string::npos)
            << pszAddress;
}
