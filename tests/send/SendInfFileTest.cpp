// SendInfFileTest.cpp - finding "Key=value" settings and reading send-information files.
#include "SendFixture.h"
#include "send/SendInfFile.h"

namespace
{
std::string ValueOf(std::string_view text, std::string_view key)
{
    std::string strValue = "stale";
    const std::size_t nLength = CSendInfReader::GetKeyValue(text, key, strValue);
    EXPECT_EQ(nLength, strValue.size());
    return strValue;
}
} // namespace

TEST(GetKeyValue, FindsTheFirstOccurrenceOnACharacterBoundary)
{
    struct Row
    {
        const char* pszWhat;
        std::string text, strKey, strValue;
    };
    const std::vector<Row> rows = {
        {"key at the start", "Name=山田\r\n", "Name=", "山田"},
        {"key ending a longer word", "MyName=a\r\n", "Name=", "a"},
        {"key in the middle of a line", "x Title=t y\r\n", "Title=", "t y"},
        {"first occurrence wins", "Name=a\r\nName=b\r\n", "Name=", "a"},
        {"case matters", "name=a\r\n", "Name=", ""},
        {"absent", "Title=t\r\n", "Name=", ""},
        {"empty value", "Name=\r\nTitle=t\r\n", "Name=", ""},
        // 年 is 94 4E: a search that lands on its second byte would read "Name=" here.
        {"no match on a second byte", "年ame=x\r\nName=y\r\n", "Name=", "y"},
        {"value ends at LF", "Name=a\nTitle=b\n", "Name=", "a"},
        {"value ends at CR", "Name=a\rTitle=b", "Name=", "a"},
        {"blanks kept here", "Title= \t \r\n", "Title=", " \t "},
        {"no line end at all", "Name=abc", "Name=", "abc"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ValueOf(row.text, row.strKey), row.strValue) << row.pszWhat;
}

class SendInfFile : public SendFixture
{
  protected:
    int ReadFile(const std::string& bytes)
    {
        Write("inf.txt", bytes);
        return m_pForm->ReadSendInfFile(m_strAppDir + "inf.txt");
    }
    std::vector<std::string> FormStrings() const
    {
        return {m_pForm->Field(FormField::ToName), m_pForm->Field(FormField::ToAddress),
                m_pForm->Field(FormField::Title), m_pForm->Field(FormField::TextFile),
                m_pForm->Field(FormField::BinFile)};
    }
};

TEST_F(SendInfFile, LfAndCrLfFilesGiveTheSameTrimmedValues)
{
    const std::vector<std::string> expected = {"山田　太郎", "yamada@example.jp", "ご案内 です",
                                               "/home/me/本文.txt", "/home/me/表.pdf"};
    const std::string strLines[] = {"BinFile=/home/me/表.pdf",    "Title=\tご案内 です \v\f",
                                    "Name= 山田　太郎 ",          "other text",
                                    "TextFile=/home/me/本文.txt", "Address=yamada@example.jp"};
    for (const char* pszEnd : {"\r\n", "\n"})
    {
        std::string strFile;
        for (const std::string& strLine : strLines)
            strFile += strLine + pszEnd;
        strFile.resize(strFile.size() - std::string(pszEnd).size()); // last line without its end
        FillForm("", "", "", "", "");
        EXPECT_EQ(ReadFile(strFile), 0);
        EXPECT_EQ(FormStrings(), expected) << (pszEnd[0] == '\n' ? "LF" : "CR LF");
    }
}

TEST_F(SendInfFile, BlankTitleEmptiesButAnEmptyValueLeavesTheString)
{
    FillForm("前", "", "前の件名", "", "");
    EXPECT_EQ(ReadFile("Title=   \r\nName=\r\n"), 0);
    EXPECT_EQ(m_pForm->Field(FormField::Title), "");
    EXPECT_EQ(m_pForm->Field(FormField::ToName), "前");
}

TEST_F(SendInfFile, SizeLimitsAndNul)
{
    const std::string strHead = "Name=a\r\nTitle=";
    EXPECT_EQ(ReadFile(strHead + std::string(1023 - strHead.size(), 't')), 0);
    EXPECT_EQ(m_pForm->Field(FormField::Title).size(), 1023 - strHead.size());

    FillForm("", "", "", "", "");
    EXPECT_EQ(ReadFile(strHead + std::string(1024 - strHead.size(), 't')), 1);
    EXPECT_EQ(ReadFile(""), 1);
    EXPECT_EQ(m_pForm->Field(FormField::ToName), "");
    EXPECT_EQ(m_pForm->ReadSendInfFile(m_strAppDir + "missing.txt"), 1);
    EXPECT_EQ(m_pForm->ReadSendInfFile(m_strAppDir + "log"), 1);

    const char szWithNul[] = "Name=a\r\nTitle=b\0\r\nAddress=c\r\n";
    EXPECT_EQ(ReadFile(std::string(szWithNul, sizeof(szWithNul) - 1)), 0);
    EXPECT_EQ(FormStrings(), (std::vector<std::string>{"a", "", "b", "", ""}));
}

// A value longer than its field is kept whole; the send refuses it instead of cutting it.
TEST_F(SendInfFile, OverLongValueIsRefusedBySendNotCut)
{
    Write("body.txt", "本文");
    const std::string strAddress = std::string(300, 'a') + "@example.jp";
    ASSERT_EQ(ReadFile("Name=山田\r\nAddress=" + strAddress +
                       "\r\nTitle=t\r\nTextFile=" + m_strAppDir + "body.txt\r\n"),
              0);
    EXPECT_EQ(m_pForm->Field(FormField::ToAddress), strAddress);
    m_pForm->OnSend();
    EXPECT_EQ(m_pForm->Status(), "送信失敗-宛先アドレスが長すぎます");
}
