// WireCharactersTest.cpp - the replacement of characters ISO-2022-JP cannot carry, where the
// byte-level walk can go wrong (marks joined or not, trail bytes that look like lead bytes), and
// the UTF-8 checks that decide whether a body is asked about.
#include "app/TextCodec.h"
#include "mail/WireCharacters.h"

#include <gtest/gtest.h>

namespace
{
struct ReplaceRow
{
    const char* pszWhat;
    std::string strIn, strOut;
};

TEST(WireCharacters, ReplacementsJoinMarksAndLeaveEverythingElse)
{
    const ReplaceRow rows[] = {
        {"voiced pairs", "ｳﾞｶﾞﾊﾟﾎﾟ", "ヴガパポ"},
        {"a mark that joins nothing", "ｱﾞﾞﾟ", "ア゛゛゜"},
        {"kana before a line end", "ｱ\r\nｲ", "ア\r\nイ"},
        {"row 13 and its duplicates of standard symbols", "⑳Ⅹ№≒∮", "(20)XNo.≒〓"},
        {"IBM extension: small roman, variant kanji", "\xFA\x40\xFB\xFC\xFA\xB1", "i高崎"},
        {"user-defined, an unassigned code", "\xF9\xFC\x87\x9E", "〓〓"},
        {"trail bytes 0x5C and 0xA1 (in the kana range)", "ソ娃ﾏ", "ソ娃マ"},
        {"a lead byte at the end", "ab\x87", "ab\x87"},
    };
    for (const ReplaceRow& row : rows)
        EXPECT_EQ(ReplaceUnsafeChars(row.strIn), row.strOut) << row.pszWhat;
}

TEST(WireCharacters, FindingNamesEachCharacterWithItsLine)
{
    const std::vector<UnsafeChar> found = FindUnsafeChars("娃\r\nｱ①\n\xF0\x40");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].strChar, "ｱ");
    EXPECT_EQ(found[0].nLine, 2u);
    EXPECT_EQ(found[1].strChar, "①");
    EXPECT_EQ(found[2].nLine, 3u);
    EXPECT_GT(ReplacementTableSize(), 900u);
}

TEST(WireCharacters, Utf8IsRecognisedOnlyWhenWellFormed)
{
    const std::pair<std::string, bool> rows[] = {
        {"ascii", true},
        {"\xE3\x81\x82\xF0\x9F\x98\x80", true},
        {"\xC0\xAF", false},         // overlong "/"
        {"\xED\xA0\x80", false},     // a surrogate
        {"\xF4\x90\x80\x80", false}, // beyond U+10FFFF
        {"\xE3\x81", false},         // cut short
    };
    for (const auto& [strText, bValid] : rows)
        EXPECT_EQ(IsValidUtf8(strText), bValid) << testing::PrintToString(strText);
    std::vector<std::string> lost;
    EXPECT_EQ(Utf8ToSjisReplacing("\xEF\xBB\xBF\xE3\x81\x82\xF0\x9F\x98\x80", &lost), "あ〓");
    EXPECT_EQ(lost, std::vector<std::string>{"\xF0\x9F\x98\x80"});
}
} // namespace
