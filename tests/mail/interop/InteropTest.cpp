// InteropTest.cpp - Japanese mails with Japanese-named attachments sent through real servers:
// private Postfix (SMTP) and Dovecot (POP3) instances on loopback, started and stopped here. What
// arrives is decoded with Python's standard email package and Perl's MIME-tools and compared with
// what was typed.
// When the servers cannot run on this machine the test is skipped with the reason.
#include "mail/MailSender.h"

#include "support/TempFolder.h"
#include "app/Sjis.h"
#include "app/TextCodec.h"
#include "support/RealMailServers.h"
#include "support/ScriptedPlatform.h"

#include <gtest/gtest.h>

namespace
{
std::string Utf8(const std::string& strSjis)
{
    std::string strUtf8;
    EXPECT_TRUE(SjisToUtf8(strSjis, strUtf8)) << "test text must be CP932";
    return strUtf8;
}
} // namespace

TEST(Interop, JapaneseMailWithAttachmentThroughPostfixAndDovecot)
{
    CRealServers servers;
    std::string strReason;
    if (!servers.Start(strReason))
        GTEST_SKIP() << "real mail servers cannot run here: " << strReason;

    CTempFolder folder;
    SenderInf sender;
    SetField(sender.szName, "山田太郎");
    SetField(sender.szMailAddress, "taro@example.jp");
    servers.SetServers(sender);

    SendRequest request;
    SetField(request.szName, "鈴木花子");
    SetField(request.szAddress, "hanako@example.jp");
    SetField(request.szTitle, "会議の資料について（第2回）");
    // Lone LF line ends and lines holding only dots: a server must see them as text, not as the
    // end of the data.
    const std::string strBody =
        "%NAME様\n\nお世話になっております。\n.\n資料を添付します。\r\n..以上\r\n";
    SetField(request.szTextFile, folder.Write("本文.txt", strBody));
    std::string strAttachment;
    for (int i = 0; i < 5000; ++i)
        strAttachment.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
    SetField(request.szBinFile, folder.Write("報告書.bin", strAttachment));

    CScriptedPlatform platform;
    CMailSender mailSender(platform);
    int nResult = 0;
    try
    {
        nResult = mailSender.SendMultipartMail(sender, request);
    }
    catch (const CFileException& e)
    {
        FAIL() << "file error: " << SjisToUtf8Lossy(FileErrorText(e));
    }
    ASSERT_GT(nResult, 0) << "send result";
    EXPECT_TRUE(platform.m_messages.empty());

    // The text part holds the body as written, no empty line added before the delimiter.
    const std::string strExpectedBody =
        "鈴木花子様\n\nお世話になっております。\n.\n資料を添付します。\r\n..以上\r\n";
    const std::string strBodyFile = folder.Write("expected.txt", Utf8(strExpectedBody));
    ExpectedMessage expected;
    expected.strSubject = Utf8(request.szTitle);
    expected.strFromName = Utf8(sender.szName);
    expected.strFromAddr = "taro@example.jp";
    expected.strToName = Utf8(request.szName);
    expected.strToAddr = "hanako@example.jp";
    expected.strBodyFile = strBodyFile;
    expected.strAttachment = ToOsPath(request.szBinFile);
    expected.strAttachmentName = Utf8("報告書.bin");
    std::string strOutput;
    EXPECT_EQ(CheckDeliveredMessage(servers, expected, strOutput), 0) << strOutput;
}

namespace
{
struct ReaderCase
{
    const char* pszWhat;
    MailCharset charset;
    std::string strSubject, strFromName, strToName, strBody, strAttachmentName; // CP932
};

std::string Repeat(const std::string& strText, int n)
{
    std::string strOut;
    for (int i = 0; i < n; ++i)
        strOut += strText;
    return strOut;
}
} // namespace

// Every reader shows what was typed: blanks between Japanese words, ASCII beside Japanese, names
// with commas and parentheses, long subjects and names, a body line that looks like the
// boundary, a paragraph longer than a line may be, and under UTF-8 the characters ISO-2022-JP
// cannot carry.
TEST(Interop, ReadersShowWhatWasTyped)
{
    CRealServers servers;
    std::string strReason;
    if (!servers.Start(strReason))
        GTEST_SKIP() << "real mail servers cannot run here: " << strReason;
    const std::string strParagraph = Repeat("長い段落の文章です。", 60) + " end";
    const ReaderCase rows[] = {
        {"blanks and specials", MailCharset::iso2022jp, "12月度 定例会議", "送信 太郎",
         "山田, 太郎 (営業部)",
         "本文です。\r\n--_MULTIPART_MIXED_\r\n--_MULTIPART_MIXED_--\r\n続き\r\n",
         "2026年12月_報告書.pdf"},
        {"ascii beside japanese", MailCharset::iso2022jp, "第3回 勉強会 Re: 第1回", "第1回",
         "Sato, Hanako (Sales)", strParagraph + "\r\n次の行\r\n",
         Repeat("とても長い添付ファイルの名前", 5) + " (最終版).txt"},
        {"long subject, plain", MailCharset::iso2022jp,
         Repeat("令和8年度 第2四半期 営業成績報告会議のお知らせ", 3), "Taro Yamada",
         Repeat("受信者の名前", 3), "短い本文\r\n", ""},
        {"utf-8", MailCharset::utf8, "①②③ 髙橋さんへ", "髙橋 一郎", "髙木 ①",
         "①②③と髙の本文\r\n" + strParagraph + "\r\n", "髙橋①.csv"},
    };
    for (const ReaderCase& row : rows)
    {
        SCOPED_TRACE(row.pszWhat);
        servers.ClearOutbox();
        CTempFolder folder;
        SenderInf sender;
        SetField(sender.szName, row.strFromName);
        SetField(sender.szMailAddress, "taro@example.jp");
        servers.SetServers(sender);
        SendRequest request;
        SetField(request.szName, row.strToName);
        SetField(request.szAddress, "hanako@example.jp");
        SetField(request.szTitle, row.strSubject);
        SetField(request.szTextFile, folder.Write("本文.txt", row.strBody));
        std::string strAttachment;
        for (int i = 0; i < 5000; ++i)
            strAttachment.push_back(static_cast<char>((i * 13 + i / 256) & 0xFF));
        if (!row.strAttachmentName.empty())
            SetField(request.szBinFile, folder.Write(row.strAttachmentName, strAttachment));

        CScriptedPlatform platform;
        MailOptions options;
        options.profile.charset = row.charset;
        CMailSender mailSender(platform, options);
        ASSERT_GT(SendResultOf(mailSender.Deliver(sender, request, !row.strAttachmentName.empty())),
                  0);

        ExpectedMessage expected;
        expected.strSubject = Utf8(row.strSubject);
        expected.strFromName = Utf8(row.strFromName);
        expected.strFromAddr = "taro@example.jp";
        expected.strToName = Utf8(row.strToName);
        expected.strToAddr = "hanako@example.jp";
        expected.strBodyFile = folder.Write("expected.txt", Utf8(row.strBody));
        if (!row.strAttachmentName.empty())
        {
            expected.strAttachment = ToOsPath(request.szBinFile);
            expected.strAttachmentName = Utf8(row.strAttachmentName);
        }
        std::string strOutput;
        EXPECT_EQ(CheckDeliveredMessage(servers, expected, strOutput), 0) << strOutput;
    }
}
