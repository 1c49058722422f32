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

const std::string kLine57 =
    "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4\r\n";
const std::string kAsciiHeaders = "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"
                                  "Content-Disposition: attachment;\r\n filename=\"a.bin\"\r\n"
                                  "Content-Transfer-Encoding: base64\r\n\r\n";
} // namespace

TEST(WriteAttachmentPart, LinesOf57BytesAndTheShortLastLine)
{
    CTempFolder folder;
    struct Row
    {
        int nBytes;
        std::string strContent;
    };
    const Row rows[] = {
        {57, kLine57},
        {58, kLine57 + "OQ==\r\n"},
        {114 + 2, kLine57 +
                      "OTo7PD0+P0BBQkNERUZHSElKS0xNTk9QUVJTVFVWV1hZWltcXV5fYGFiY2RlZmdoaWprbG1ub3Bx"
                      "\r\ncnM=\r\n"},
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
    EXPECT_EQ(sink.m_nWrites, 3 + 4);
    EXPECT_EQ(nCount, 70);
}

// Every name the path field can hold goes out; the header lines are folded, never refused.
TEST(AttachmentHeaderLines, LongNamesAreFoldedNotRefused)
{
    std::array<std::string, 2> lines;
    EXPECT_TRUE(
        FormatAttachmentHeaderLines(("/d/" + std::string(240, 'n') + ".txt").c_str(), lines));
    EXPECT_EQ(lines[0], "Content-Type: text/plain; name=\"" + std::string(240, 'n') + ".txt\"\r\n");
    std::string str120;
    for (int i = 0; i < 120; ++i)
        str120 += "資";
    EXPECT_TRUE(FormatAttachmentHeaderLines(("/d/" + str120 + ".txt").c_str(), lines));
    for (const std::string& strLine : lines)
        for (std::size_t nAt = 0, nEnd; (nEnd = strLine.find("\r\n", nAt)) != std::string::npos;
             nAt = nEnd + 2)
            EXPECT_LE(nEnd - nAt, 78u) << strLine.substr(nAt, nEnd - nAt);
    EXPECT_TRUE(FormatAttachmentHeaderLines("資料.txt", lines));
    EXPECT_EQ(lines[1], "Content-Disposition: attachment;\r\n "
                        "filename*=ISO-2022-JP''%1B$B%3BqNA%1B%28B.txt\r\n");
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
#ifdef _WIN32
        {"/d/a\\b.txt", "b.txt"}, // '\' separates folders there
#else
        {"/d/a\\b.txt", "a\\\\b.txt"},
#endif
        {"/d/plain name.txt", "plain name.txt"},
    };
    for (const Row& row : rows)
    {
        std::array<std::string, 2> lines;
        ASSERT_TRUE(FormatAttachmentHeaderLines(row.pszPath, lines)) << row.pszPath;
        EXPECT_EQ(lines[0],
                  std::string("Content-Type: text/plain; name=\"") + row.pszQuoted + "\"\r\n");
        EXPECT_EQ(lines[1], std::string("Content-Disposition: attachment;\r\n filename=\"") +
                                row.pszQuoted + "\"\r\n");
    }
}

TEST(MessageComposer, BoundaryIsTheStemAndARandomPartPerMessage)
{
    const std::string strFirst = MakeBoundary();
    EXPECT_TRUE(std::regex_match(strFirst, std::regex("_MULTIPART_MIXED_[0-9a-f]{24}")))
        << strFirst;
    EXPECT_NE(MakeBoundary(), strFirst);
    EXPECT_EQ(MakeBoundary("x1"), "_MULTIPART_MIXED_x1");
    EXPECT_EQ(MultipartContentType("B"), "Content-Type: multipart/mixed;\r\n boundary=\"B\"\r\n");
    EXPECT_EQ(Delimiter("B") + CloseDelimiter("B"), "\r\n--B\r\n\r\n--B--\r\n");
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

// A line that would pass 998 bytes on the wire (a leading "." counts, as transparency doubles it)
// makes the part quoted-printable, whose soft line breaks keep the line whole; a line of 998
// bytes goes out 7bit, unchanged.
TEST(WriteTextPart, LinesOver998BytesGoOutQuotedPrintable)
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
        std::string strBody, strJis;
        bool bQuoted;
    };
    const Row rows[] = {
        {"ascii 998", std::string(998, 'x') + "\r\n", std::string(998, 'x') + "\r\n", false},
        {"ascii 999", std::string(999, 'x'), std::string(999, 'x'), true},
        {"dot first", "." + std::string(997, 'x'), "." + std::string(997, 'x'), true},
        {"kanji 998", repeat("あ", 496) + "\n", kK + repeat(a, 496) + kA + "\n", false},
        {"kanji 497", repeat("あ", 497), kK + repeat(a, 497) + kA, true},
        {"second line too", "y\r\n" + std::string(1000, '='), "y\r\n" + std::string(1000, '='),
         true},
    };
    for (const Row& row : rows)
    {
        CStringSink sink;
        WriteTextPart(sink, row.strBody);
        const std::string strHeaders =
            std::string(kTextPartContentType) +
            "Content-Transfer-Encoding: " + (row.bQuoted ? "quoted-printable" : "7bit") +
            "\r\n\r\n";
        ASSERT_EQ(sink.m_strText.compare(0, strHeaders.size(), strHeaders), 0) << row.pszWhat;
        const std::string strContent = sink.m_strText.substr(strHeaders.size());
        if (!row.bQuoted)
        {
            EXPECT_EQ(strContent, row.strJis) << row.pszWhat;
            continue;
        }
        // Every line within 76 characters, and decoded the converted text again.
        std::string strDecoded;
        for (std::size_t nAt = 0; nAt < strContent.size();)
        {
            std::size_t nEnd = strContent.find("\r\n", nAt);
            if (nEnd == std::string::npos)
                nEnd = strContent.size();
            EXPECT_LE(nEnd - nAt, 76u) << row.pszWhat;
            const std::string strLine = strContent.substr(nAt, nEnd - nAt);
            const bool bSoft = !strLine.empty() && strLine.back() == '=';
            for (std::size_t i = 0; i + (bSoft ? 1 : 0) < strLine.size(); ++i)
            {
                if (strLine[i] != '=')
                    strDecoded.push_back(strLine[i]);
                else
                {
                    strDecoded.push_back(
                        static_cast<char>(std::stoi(strLine.substr(i + 1, 2), nullptr, 16)));
                    i += 2;
                }
            }
            if (!bSoft && nEnd < strContent.size())
                strDecoded += "\r\n";
            nAt = nEnd + 2;
        }
        EXPECT_EQ(strDecoded, row.strJis) << row.pszWhat;
    }
}

// A plain mail's body leaves its last line end to the end of the data, which begins with one: the
// message gains no empty line.
TEST(WriteTextPart, TheLastLineEndIsLeftToWhatFollows)
{
    for (const char* pszBody : {"a\r\n", "a\n", "a\r", "a"})
    {
        CStringSink sink;
        WriteTextPart(sink, pszBody, std::string(), MailCharset::iso2022jp, true);
        EXPECT_EQ(sink.m_strText, std::string(kTextPartContentType) + kTextPartEncoding + "a")
            << pszBody;
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
