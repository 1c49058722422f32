// SjisTest.cpp - searches that step over double-byte characters, and bounded copies.
#include "app/Sjis.h"
#include "app/TextCodec.h"

#include <gtest/gtest.h>

// "ソ" is 0x83 0x5C: its second byte is the backslash.
TEST(FindSjis, NeverMatchesOnTheSecondByteOfADoubleByteCharacter)
{
    EXPECT_EQ(FindSjis("ソ\\", "\\"), 2u);
    EXPECT_EQ(FindSjis("ソ", "\\"), std::string_view::npos);
    // 0x82 0x71 is "q" after a lead byte ("ｑ" is 0x82 0x91; "r" 0x82 0x72 would be "ｒ").
    EXPECT_EQ(FindSjis("\x82qquit", "quit"), 2u);
    EXPECT_EQ(FindSjis("/sendon", "/sendon"), 0u);
    EXPECT_EQ(FindSjis("a/SENDON", "/sendon"), std::string_view::npos);
    EXPECT_EQ(FindSjis("abc", "c", 3), std::string_view::npos);
}

TEST(FindSjis, ALoneLeadByteAtTheEndIsStillSteppedOver)
{
    EXPECT_EQ(FindSjis("ab\x82", "\x82"), 2u);
}

TEST(CutAtCharBoundary, NeverSplitsADoubleByteCharacter)
{
    EXPECT_EQ(CutAtCharBoundary("aあい", 2), "a");
    EXPECT_EQ(CutAtCharBoundary("aあい", 3), "aあ");
    EXPECT_EQ(CutAtCharBoundary("abc", 5), "abc");
    EXPECT_EQ(CutAtCharBoundary("", 0), "");
}

TEST(CopyToField, RefusesATextLongerThanTheFieldInsteadOfCuttingIt)
{
    char sz[4] = {'x', 'x', 'x', 'x'};
    EXPECT_TRUE(CopyToField(sz, sizeof(sz), "abc"));
    EXPECT_STREQ(sz, "abc");
    EXPECT_FALSE(CopyToField(sz, sizeof(sz), "abcd"));
    EXPECT_STREQ(sz, "");
}

TEST(FieldText, StopsAtTheFieldEndWithoutATerminator)
{
    char sz[3] = {'a', 'b', 'c'};
    EXPECT_EQ(FieldText(sz), "abc");
    SetField(sz, "あい");
    EXPECT_EQ(FieldText(sz), "あ");
}

TEST(TextCodec, KeepsBackslashAndTildeAsAscii)
{
    std::string out;
    ASSERT_TRUE(SjisToUtf8("C:\\dir\\~", out));
    EXPECT_EQ(out, "C:\\dir\\~");
    ASSERT_TRUE(Utf8ToSjis("\xE3\x82\xBD", out)); // ソ
    EXPECT_EQ(out, "ソ");
}

TEST(TextCodec, ReportsTextThatCannotBeConverted)
{
    std::string out = "old";
    EXPECT_FALSE(Utf8ToSjis("\xF0\x9F\x98\x80", out)); // an emoji has no CP932 form
    EXPECT_EQ(out, "");
    EXPECT_FALSE(SjisToUtf8("a\x82", out)); // a lead byte without its trail
    EXPECT_EQ(SjisToUtf8Lossy("a\x82"), "a\xEF\xBF\xBD");
}
