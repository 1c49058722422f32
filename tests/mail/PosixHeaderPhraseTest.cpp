// PosixHeaderPhraseTest.cpp - header lines and attachment names as a strict RFC 2047 / RFC 2231 /
// RFC 5322 reader takes them: unfolded, the white space between two encoded-words dropped, each
// word decoded on its own by iconv.
// (Linux only: glibc's iconv is the independent decoder; the encoder itself is the same code on
// every platform.)
#include "mail/HeaderPhrase.h"

#include "mail/AttachmentHeaders.h"

#include "app/TextCodec.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <regex>

namespace
{
struct PhraseCase
{
    const char* pszWhat;
    bool bAddress; // a From line with this display name, else a Subject line
    MailCharset charset;
    std::string strValue;    // CP932
    std::string strExpected; // CP932 as a reader shows it; empty: the value itself
};

void PrintTo(const PhraseCase& row, std::ostream* pOut)
{
    *pOut << row.pszWhat;
}

// The bytes of one word decoded to UTF-8; false when they are no complete text of the charset.
bool DecodeWord(const std::string& strCharset, const std::string& strBytes, std::string& strUtf8)
{
    iconv_t cd = iconv_open("UTF-8", strCharset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string strIn = strBytes;
    std::string strOut(strIn.size() * 4 + 16, '\0');
    char* pIn = strIn.data();
    char* pOut = strOut.data();
    std::size_t nIn = strIn.size(), nOut = strOut.size();
    const bool bOk = iconv(cd, &pIn, &nIn, &pOut, &nOut) != static_cast<std::size_t>(-1) &&
                     iconv(cd, nullptr, nullptr, &pOut, &nOut) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    strUtf8.assign(strOut.data(), pOut);
    return bOk;
}

std::string Base64Decode(const std::string& strText)
{
    const std::string kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string strOut;
    unsigned nBits = 0, nValue = 0;
    for (const char c : strText)
    {
        const std::size_t n = kAlphabet.find(c);
        if (n == std::string::npos)
            break;
        nValue = (nValue << 6) | static_cast<unsigned>(n);
        nBits += 6;
        if (nBits >= 8)
        {
            nBits -= 8;
            strOut.push_back(static_cast<char>((nValue >> nBits) & 0xFF));
        }
    }
    return strOut;
}

std::string Utf8(const std::string& strSjis)
{
    std::string strUtf8;
    EXPECT_TRUE(SjisToUtf8(strSjis, strUtf8));
    return strUtf8;
}
} // namespace

class HeaderPhrase : public ::testing::TestWithParam<PhraseCase>
{
};

TEST_P(HeaderPhrase, ReadersSeeWhatWasTyped)
{
    const PhraseCase& row = GetParam();
    const std::string strLine =
        row.bAddress ? AddressHeaderLine("From", row.strValue, "taro@example.jp", row.charset)
                     : UnstructuredHeaderLine("Subject", row.strValue, row.charset);
    ASSERT_GE(strLine.size(), 2u);
    ASSERT_EQ(strLine.substr(strLine.size() - 2), "\r\n");
    // Lines within 78 characters; a display name may pass it by one encoded-word's room.
    std::string strUnfolded;
    for (std::size_t nAt = 0, nEnd; (nEnd = strLine.find("\r\n", nAt)) != std::string::npos;
         nAt = nEnd + 2)
    {
        EXPECT_LE(nEnd - nAt, row.bAddress ? 6 + kMaxEncodedWord + 17 : kFoldColumn) << strLine;
        if (nAt > 0)
        {
            EXPECT_EQ(strLine[nAt], ' ') << strLine; // a fold is CR LF and a blank
        }
        strUnfolded += strLine.substr(nAt, nEnd - nAt);
    }
    std::string strValue = strUnfolded.substr(strUnfolded.find(':') + 2);
    if (row.bAddress)
    {
        const std::string strAddress = " <taro@example.jp>";
        ASSERT_EQ(strValue.substr(strValue.size() - strAddress.size()), strAddress) << strLine;
        strValue.resize(strValue.size() - strAddress.size());
    }
    // Decode as RFC 2047 says: each word by itself, blanks between two encoded-words dropped.
    static const std::regex kWord("=\\?([^?]+)\\?B\\?([A-Za-z0-9+/=]*)\\?=");
    std::string strDecoded;
    std::string strRest; // what stands outside the encoded-words
    bool bAfterWord = false;
    std::size_t nAt = 0;
    for (std::sregex_iterator it(strValue.begin(), strValue.end(), kWord), end; it != end; ++it)
    {
        const std::string strBetween = strValue.substr(nAt, it->position() - nAt);
        const bool bBlank = strBetween.find_first_not_of(" \t") == std::string::npos;
        if (!(bAfterWord && bBlank))
            strDecoded += strBetween;
        strRest += strBetween;
        EXPECT_LE(it->length(), static_cast<long>(kMaxEncodedWord)) << it->str();
        const std::string strBytes = Base64Decode((*it)[2]);
        if ((*it)[1] == "ISO-2022-JP") // each word returns to ASCII
        {
            EXPECT_EQ(strBytes.rfind('\x1B'), strBytes.rfind("\x1B(B")) << it->str();
        }
        std::string strText;
        EXPECT_TRUE(DecodeWord((*it)[1], strBytes, strText)) << "not whole: " << it->str();
        strDecoded += strText;
        nAt = it->position() + it->length();
        bAfterWord = true;
    }
    strDecoded += strValue.substr(nAt);
    strRest += strValue.substr(nAt);
    const std::string strWant = Utf8(row.strExpected.empty() ? row.strValue : row.strExpected);
    if (row.bAddress && strRest.find('"') == 0)
    {
        // A quoted-string: what is inside, unescaped, is the name.
        std::string strInside;
        for (std::size_t i = 1; i + 1 < strRest.size(); ++i)
            strInside += strRest[i] == '\\' ? strRest[++i] : strRest[i];
        EXPECT_EQ(strInside, strWant) << strLine;
        return;
    }
    EXPECT_EQ(strDecoded, strWant) << strLine;
    // Outside the words nothing that could end a display name or start a comment.
    if (row.bAddress)
    {
        EXPECT_EQ(strRest.find_first_of(",()<>@:;.[]\\\""), std::string::npos) << strLine;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HeaderPhrase,
    ::testing::Values(
        PhraseCase{"blank between words", false, MailCharset::iso2022jp, "12月度 定例会議", ""},
        PhraseCase{"digit inside", false, MailCharset::iso2022jp, "第3回 勉強会", ""},
        PhraseCase{"ascii beside kanji", false, MailCharset::iso2022jp, "第1回", ""},
        PhraseCase{"ascii words stay", false, MailCharset::iso2022jp, "Re: 第1回 議事録 (案)", ""},
        PhraseCase{"long subject", false, MailCharset::iso2022jp,
                   "令和8年度 第2四半期 営業成績報告会議のお知らせ 及び 資料の事前確認について"
                   "（重要・必読）ご確認のうえ ご出席ください 以上 よろしくお願いします",
                   ""},
        PhraseCase{"half-width kana replaced", false, MailCharset::iso2022jp, "ｶﾞｯｺｳ 便り",
                   "ガッコウ 便り"},
        PhraseCase{"utf-8 keeps every character", false, MailCharset::utf8,
                   "①②③ 髙橋さんへ 長い件名の場合でも文字は切れずに届きます ご確認ください", ""},
        PhraseCase{"name with a blank", true, MailCharset::iso2022jp, "送信 太郎", ""},
        PhraseCase{"name with specials", true, MailCharset::iso2022jp, "山田, 太郎 (営業部)", ""},
        PhraseCase{"parenthesis in a name", true, MailCharset::iso2022jp, "高橋(1)子", ""},
        PhraseCase{"ascii name with specials", true, MailCharset::iso2022jp,
                   "Sato, \"Hana\" (Sales)", ""},
        PhraseCase{"ascii atoms", true, MailCharset::iso2022jp, "Taro Yamada", ""},
        PhraseCase{"utf-8 name", true, MailCharset::utf8, "髙木 ①", ""}));

namespace
{
struct NameCase
{
    const char* pszWhat;
    MailCharset charset;
    std::string strName;      // CP932
    const char* pszMediaType; // expected
    const char* pszQuoted;    // the quoted parameter of an ASCII name; nullptr for the others
};

void PrintTo(const NameCase& row, std::ostream* pOut)
{
    *pOut << row.pszWhat;
}

std::string PercentDecoded(const std::string& strText)
{
    std::string strOut;
    for (std::size_t i = 0; i < strText.size(); ++i)
    {
        if (strText[i] == '%' && i + 2 < strText.size())
        {
            strOut.push_back(static_cast<char>(std::stoi(strText.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        }
        else
            strOut.push_back(strText[i]);
    }
    return strOut;
}
} // namespace

class AttachmentName : public ::testing::TestWithParam<NameCase>
{
};

// An ASCII name stays plain in quotes; any other is whole encoded-words in "name=" and RFC 2231
// "filename*" whose every continuation decodes by itself, all within 78 characters a line.
TEST_P(AttachmentName, EveryReaderGetsTheWholeName)
{
    const NameCase& row = GetParam();
    std::array<std::string, 2> lines;
    ASSERT_TRUE(
        FormatAttachmentHeaderLines(("/home/me/" + row.strName).c_str(), lines, row.charset));
    const std::string strType = std::string("Content-Type: ") + row.pszMediaType + ";";
    ASSERT_EQ(lines[0].compare(0, strType.size(), strType), 0) << lines[0];
    if (row.pszQuoted != nullptr)
    {
        EXPECT_EQ(lines[0], strType + " name=" + row.pszQuoted + "\r\n");
        EXPECT_EQ(lines[1], std::string("Content-Disposition: attachment;\r\n filename=") +
                                row.pszQuoted + "\r\n");
        return;
    }
    // Every line within 78 characters but the media type's, which cannot be folded.
    for (const std::string& strLines : lines)
        for (std::size_t nAt = strLines.find("\r\n") + 2, nEnd;
             (nEnd = strLines.find("\r\n", nAt)) != std::string::npos; nAt = nEnd + 2)
            EXPECT_LE(nEnd - nAt, kFoldColumn) << strLines;
    const std::string strWant = Utf8(row.strName);
    const std::string strCharset = row.charset == MailCharset::utf8 ? "UTF-8" : "ISO-2022-JP";
    // name="=?...?= =?...?=": the words, decoded one by one, make the name.
    static const std::regex kWord("=\\?([^?]+)\\?B\\?([A-Za-z0-9+/=]*)\\?=");
    std::string strFromWords;
    const std::string strParam = lines[0].substr(lines[0].find("name=\"") + 6);
    for (std::sregex_iterator it(strParam.begin(), strParam.end(), kWord), end; it != end; ++it)
    {
        EXPECT_EQ((*it)[1], strCharset);
        EXPECT_LE(it->length(), static_cast<long>(kMaxEncodedWord));
        std::string strText;
        EXPECT_TRUE(DecodeWord((*it)[1], Base64Decode((*it)[2]), strText)) << it->str();
        strFromWords += strText;
    }
    EXPECT_EQ(strFromWords, strWant) << lines[0];
    // filename*=CHARSET''... or filename*0*=CHARSET''..., filename*1*=...
    static const std::regex kParam("filename\\*(\\d*)\\*?=([^;\r]*)");
    std::string strFromParams;
    int nParts = 0;
    for (std::sregex_iterator it(lines[1].begin(), lines[1].end(), kParam), end; it != end;
         ++it, ++nParts)
    {
        std::string strValue = (*it)[2];
        if (nParts == 0)
        {
            ASSERT_EQ(strValue.compare(0, strCharset.size() + 2, strCharset + "''"), 0);
            strValue.erase(0, strCharset.size() + 2);
        }
        std::string strText;
        EXPECT_TRUE(DecodeWord(strCharset, PercentDecoded(strValue), strText)) << it->str();
        strFromParams += strText;
    }
    EXPECT_EQ(strFromParams, strWant) << lines[1];
    EXPECT_EQ(lines[1].find("filename=\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AttachmentName,
    ::testing::Values(
        NameCase{"ascii", MailCharset::iso2022jp, "report.PDF", "application/pdf",
                 "\"report.PDF\""},
        NameCase{"ascii with blanks and quotes", MailCharset::iso2022jp, "my \"final\" a\\b.txt",
                 "text/plain", "\"my \\\"final\\\" a\\\\b.txt\""},
        NameCase{"unknown extension", MailCharset::iso2022jp, "data.bin",
                 "application/octet-stream", "\"data.bin\""},
        NameCase{"japanese", MailCharset::iso2022jp, "資料.xlsx",
                 "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", nullptr},
        NameCase{"japanese with blanks and digits", MailCharset::iso2022jp,
                 "2026年12月 報告書 (最終版).docx",
                 "application/vnd.openxmlformats-officedocument.wordprocessingml.document",
                 nullptr},
        NameCase{"long japanese", MailCharset::iso2022jp,
                 "とても長い添付ファイルの名前とても長い添付ファイルの名前とても長い添付ファイル"
                 "の名前とても長い添付ファイルの名前.csv",
                 "text/csv", nullptr},
        NameCase{"trail byte 0x5C and a quote", MailCharset::iso2022jp, "ソ\".jpg", "image/jpeg",
                 nullptr},
        NameCase{"utf-8", MailCharset::utf8, "髙橋①の写真.png", "image/png", nullptr}));
