// InteropTest.cpp - a Japanese mail with a Japanese-named attachment sent through real servers:
// private Postfix (SMTP) and Dovecot (POP3) instances on loopback, started and stopped here. What
// arrives is decoded with Python's standard email package and compared with what was sent.
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

    // The second delimiter starts with an empty line, which the text part keeps as its last line.
    const std::string strExpectedBody =
        "鈴木花子様\n\nお世話になっております。\n.\n資料を添付します。\r\n..以上\r\n\r\n";
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
