// MailDropTest.cpp - the fake server pair that the shell-driven tests run as a program: each mode
// of its SMTP side met by a real send over loopback.
#include "mail/MailSender.h"

#include "app/Sjis.h"
#include "support/MailDrop.h"
#include "support/ScriptedPlatform.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <ostream>

namespace
{
struct DropCase
{
    const char* pszName;
    const char* pszMode; // nullptr: no mode file
    const char* pszRecipient;
    bool bKept;
};

std::ostream& operator<<(std::ostream& os, const DropCase& c)
{
    return os << c.pszName;
}

const DropCase kDropCases[] = {
    {"NoModeFile", nullptr, "hanako@example.jp", true},
    {"EmptyMode", "\n", "hanako@example.jp", true},
    {"RefuseEveryone", "refuse\n", "hanako@example.jp", false},
    {"RefuseThisRecipient", "refuse hanako@example.jp\n", "hanako@example.jp", false},
    {"RefuseAnotherRecipient", "refuse jiro@example.jp\n", "hanako@example.jp", true},
};
} // namespace

class MailDropTest : public ::testing::TestWithParam<DropCase>
{
};

TEST_P(MailDropTest, SendMeetsTheMode)
{
    const DropCase& c = GetParam();
    CTempFolder folder;
    if (c.pszMode != nullptr)
        folder.Write("mode", c.pszMode);
    const CMailDrop drop(folder.Dir());
    EXPECT_EQ(folder.Read("ports"),
              std::to_string(drop.PopPort()) + " " + std::to_string(drop.SmtpPort()) + "\n");

    SenderInf sender;
    SetField(sender.szName, "Taro");
    SetField(sender.szMailAddress, "taro@example.jp");
    SetField(sender.szPop3Server, "127.0.0.1:" + std::to_string(drop.PopPort()));
    SetField(sender.szSmtpServer, "127.0.0.1:" + std::to_string(drop.SmtpPort()));
    SetField(sender.szLoginName, "taro");
    SetField(sender.szPassword, "secret");
    SendRequest request;
    SetField(request.szName, "Hanako");
    SetField(request.szAddress, c.pszRecipient);
    SetField(request.szTitle, "Hi");
    // A line that begins with "." reaches the kept message as written, not dot-stuffed.
    SetField(request.szTextFile, folder.Write("body.txt", "Hello\n.dot\n"));
    CScriptedPlatform platform;
    CMailSender mailSender(platform);
    const int nResult = mailSender.SendPlainMail(sender, request);

    EXPECT_EQ(nResult > 0, c.bKept) << nResult;
    EXPECT_EQ(drop.MessageCount(), c.bKept ? 1 : 0);
    const std::string strKept = folder.Read("mail-1.eml");
    if (c.bKept)
    {
        EXPECT_NE(strKept.find("Subject: Hi\r\n"), std::string::npos) << strKept;
        EXPECT_NE(strKept.find("\r\nHello\r\n.dot\r\n"), std::string::npos) << strKept;
        EXPECT_EQ(strKept.substr(strKept.size() - 2), "\r\n");
    }
    else
        EXPECT_EQ(strKept, "");
}

INSTANTIATE_TEST_SUITE_P(Modes, MailDropTest, ::testing::ValuesIn(kDropCases),
                         [](const ::testing::TestParamInfo<DropCase>& paramInfo) {
                             return std::string(paramInfo.param.pszName);
                         });
