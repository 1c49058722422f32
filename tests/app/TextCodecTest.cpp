// TextCodecTest.cpp - CP932 as Windows' code page 932 has it, the same on Linux (glibc's CP932
// maps more) and on Windows.
#include "app/TextCodec.h"

#include <gtest/gtest.h>

#include <ostream>

struct CodecRow
{
    const char* pszName;
    std::string_view sjis;  // CP932 bytes
    const char8_t* pszUtf8; // the character in UTF-8
    bool bDecodes;          // sjis reads as pszUtf8
    bool bEncodes;          // pszUtf8 is written as sjis (else it cannot be written at all)
};

void PrintTo(const CodecRow& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class Cp932 : public testing::TestWithParam<CodecRow>
{
};

TEST_P(Cp932, ConvertsOnlyWhatCodePage932Has)
{
    const CodecRow& row = GetParam();
    const std::string utf8 = reinterpret_cast<const char*>(row.pszUtf8);
    std::string out;
    const bool bDecoded = SjisToUtf8(row.sjis, out);
    EXPECT_EQ(bDecoded && out == utf8, row.bDecodes);
    const bool bEncoded = Utf8ToSjis(utf8, out);
    EXPECT_EQ(bEncoded, row.bEncodes);
    EXPECT_EQ(out, bEncoded ? std::string(row.sjis) : std::string());
}

INSTANTIATE_TEST_SUITE_P(
    TextCodec, Cp932,
    testing::Values(
        CodecRow{"Backslash", "\x5C", u8"\\", true, true},
        CodecRow{"Tilde", "\x7E", u8"~", true, true},
        CodecRow{"HalfwidthKatakana", "\xB1", u8"ｱ", true, true},
        CodecRow{"FullwidthTilde", "\x81\x60", u8"～", true, true},
        CodecRow{"HorizontalBar", "\x81\x5C", u8"―", true, true},
        CodecRow{"CircledDigit", "\x87\x40", u8"①", true, true},
        // (The NEC-selected copy of this character, 0xED40, reads the same and is never written.)
        CodecRow{"IbmExtension", "\xFA\x5C", u8"纊", true, true},
        CodecRow{"UserDefined", "\xF0\x40", u8"\uE000", true, true},
        // Bytes without a character, though best-fit tables give them one.
        CodecRow{"Byte80", "\x80", u8"\u0080", false, false},
        CodecRow{"ByteA0", "\xA0", u8"\uF8F0", false, false},
        CodecRow{"ByteFD", "\xFD", u8"\uF8F1", false, false},
        // Characters glibc writes one way, each as another character's code.
        CodecRow{"WaveDash", "\x81\x60", u8"〜", false, false},
        CodecRow{"DoubleVerticalLine", "\x81\x61", u8"‖", false, false},
        CodecRow{"MinusSign", "\x81\x7C", u8"−", false, false},
        CodecRow{"EmDash", "\x81\x5C", u8"—", false, false},
        CodecRow{"YenSign", "\x5C", u8"¥", false, false},
        CodecRow{"Overline", "\x7E", u8"‾", false, false},
        CodecRow{"CentSign", "\x81\x91", u8"¢", false, false},
        CodecRow{"NotSign", "\x81\xCA", u8"¬", false, false}),
    [](const testing::TestParamInfo<CodecRow>& paramInfo) { return paramInfo.param.pszName; });

// One bad byte shows as one U+FFFD; the characters around it stay.
TEST(TextCodec, LossyDecodingReplacesOnlyTheBadByte)
{
    EXPECT_EQ(SjisToUtf8Lossy("a\x80\x82\xA0"), "a\xEF\xBF\xBD\xE3\x81\x82");
}
