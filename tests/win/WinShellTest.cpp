// WinShellTest.cpp - the pure parts of the Win32 window: the file dialog's filter and default
// extension, and the steps of the window's test mode.
#include "win/TestScript.h"
#include "win/WinDialogs.h"
#include "win/WinPlatform.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace
{
struct FilterRow
{
    const char* pszName;
    std::wstring filter;
    std::wstring expected;
};

void PrintTo(const FilterRow& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class FileDialogFilterTest : public testing::TestWithParam<FilterRow>
{
};

TEST_P(FileDialogFilterTest, BecomesZeroSeparatedPairs)
{
    const std::wstring out = FileDialogFilter(GetParam().filter);
    EXPECT_EQ(out, GetParam().expected);
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(
    Rows, FileDialogFilterTest,
    testing::Values(FilterRow{"OnePair", L"Text(*.txt)|*.txt||", L"Text(*.txt)\0*.txt\0\0"s},
                    FilterRow{"TwoPairs", L"Exe(*.exe)|*.exe;|All(*.*)|*.*||",
                              L"Exe(*.exe)\0*.exe;\0All(*.*)\0*.*\0\0"s},
                    FilterRow{"WithoutEnd", L"All|*.*", L"All\0*.*\0\0"s},
                    FilterRow{"TextAfterEndIgnored", L"All|*.*||junk|x", L"All\0*.*\0\0"s},
                    FilterRow{"Empty", L"", L""s}),
    [](const testing::TestParamInfo<FilterRow>& row) { return std::string(row.param.pszName); });

TEST(FileDialogDefaultExtTest, StarAndEmptyMeanNone)
{
    EXPECT_EQ(FileDialogDefaultExt(L"*"), L"");
    EXPECT_EQ(FileDialogDefaultExt(L""), L"");
    EXPECT_EQ(FileDialogDefaultExt(L"tvl"), L"tvl");
    EXPECT_EQ(FileDialogDefaultExt(L".txt"), L"txt");
}

TEST(ParseScriptStepTest, ReadsVerbIdAndText)
{
    const ScriptStep set = ParseScriptStep("set 1000 山田 太郎\r");
    EXPECT_TRUE(set.bValid);
    EXPECT_EQ(set.strVerb, "set");
    EXPECT_EQ(set.nId, 1000);
    EXPECT_EQ(set.strText, "山田 太郎"); // blanks inside the text stay

    const ScriptStep dialog = ParseScriptStep("wait-dialog 発送元設定");
    EXPECT_TRUE(dialog.bValid);
    EXPECT_EQ(dialog.strText, "発送元設定");

    EXPECT_TRUE(ParseScriptStep("close").bValid);
    EXPECT_TRUE(ParseScriptStep("set 1002").bValid); // an empty text clears the control
}

TEST(ParseScriptStepTest, RefusesWhatItCannotCarryOut)
{
    EXPECT_FALSE(ParseScriptStep("click").bValid);       // no id
    EXPECT_FALSE(ParseScriptStep("click 10x9").bValid);  // not a number
    EXPECT_FALSE(ParseScriptStep("click 70000").bValid); // not a control id
    EXPECT_FALSE(ParseScriptStep("wait-dialog").bValid); // no title
    EXPECT_FALSE(ParseScriptStep("press 1009").bValid);  // unknown verb
    EXPECT_TRUE(ParseScriptStep("  # a comment").strVerb.empty());
    EXPECT_TRUE(ParseScriptStep("").strVerb.empty());
}
} // namespace

namespace
{
TEST(ReadableTextTest, EndsEveryLineWithCrLf)
{
    EXPECT_EQ(ReadableText("a\nb\r\nc\rd"), L"a\r\nb\r\nc\r\nd");
}

TEST(ReadableTextTest, ShowsControlBytesAndBrokenCp932AsReplacement)
{
    EXPECT_EQ(ReadableText("a\tb\x01"), L"a\tb\xFFFD");
    // A lead byte without a trail byte: the byte after it is read on its own.
    EXPECT_EQ(ReadableText("送\x82 x"), L"送\xFFFD x");
    EXPECT_EQ(ReadableText("送\x82"), L"送\xFFFD");
}
} // namespace
