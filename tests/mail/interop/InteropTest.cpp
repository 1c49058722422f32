// InteropTest.cpp - a Japanese mail with a Japanese-named attachment sent through real servers:
// private Postfix (SMTP) and Dovecot (POP3) instances on loopback, started and stopped here. What
// arrives is decoded with Python's standard email package and compared with what was sent.
// When the servers cannot run on this machine the test is skipped with the reason.
#include "mail/MailSender.h"

#include "../MailTestFiles.h"
#include "app/Sjis.h"
#include "app/TextCodec.h"
#include "support/ScriptedPlatform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>

namespace
{
const std::string kScripts = std::string(TARVELL_SOURCE_DIR) + "/scripts/mailservers/";

// Runs a shell command; returns its exit status and its standard output and error.
int RunShell(const std::string& strCommand, std::string& strOutput)
{
    strOutput.clear();
    FILE* pPipe = ::popen((strCommand + " 2>&1").c_str(), "r");
    if (pPipe == nullptr)
        return -1;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pPipe)) > 0)
        strOutput.append(buffer, n);
    const int nStatus = ::pclose(pPipe);
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

std::string Quote(const std::string& strText)
{
    std::string strQuoted = "'";
    for (const char c : strText)
        strQuoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return strQuoted + "'";
}

std::string Utf8(const std::string& strSjis)
{
    std::string strUtf8;
    EXPECT_TRUE(SjisToUtf8(strSjis, strUtf8)) << "test text must be CP932";
    return strUtf8;
}

// The servers of one test; stopped and removed when it ends, whatever happens.
class CMailServers
{
public:
    bool Start(std::string& strReason)
    {
        std::string strOutput;
        const int nStatus = RunShell(Quote(kScripts + "start.sh"), strOutput);
        if (nStatus != 0)
        {
            strReason = strOutput.empty() ? "start.sh failed" : strOutput;
            return false;
        }
        // The work folder is the last line.
        std::string strLine;
        std::istringstream lines(strOutput);
        while (std::getline(lines, strLine))
            if (!strLine.empty())
                m_strWork = strLine;
        std::ifstream env(m_strWork + "/env");
        while (std::getline(env, strLine))
        {
            const std::size_t nEq = strLine.find('=');
            if (nEq != std::string::npos)
                m_env[strLine.substr(0, nEq)] = strLine.substr(nEq + 1);
        }
        if (m_env.count("SMTP_PORT") == 0 || m_env.count("OUTBOX") == 0)
        {
            strReason = "start.sh gave no environment: " + strOutput;
            return false;
        }
        return true;
    }
    ~CMailServers()
    {
        if (!m_strWork.empty())
        {
            std::string strOutput;
            RunShell(Quote(kScripts + "stop.sh") + " " + Quote(m_strWork), strOutput);
        }
    }
    std::string Env(const std::string& strKey) { return m_env[strKey]; }

private:
    std::string m_strWork;
    std::map<std::string, std::string> m_env;
};
}  // namespace

TEST(Interop, JapaneseMailWithAttachmentThroughPostfixAndDovecot)
{
    CMailServers servers;
    std::string strReason;
    if (!servers.Start(strReason))
        GTEST_SKIP() << "real mail servers cannot run here: " << strReason;

    CTempFolder folder;
    SenderInf sender;
    SetField(sender.szName, "山田太郎");
    SetField(sender.szMailAddress, "taro@example.jp");
    SetField(sender.szPop3Server, "127.0.0.1:" + servers.Env("POP3_PORT"));
    SetField(sender.szSmtpServer, "127.0.0.1:" + servers.Env("SMTP_PORT"));
    SetField(sender.szLoginName, servers.Env("MAIL_USER"));
    SetField(sender.szPassword, servers.Env("MAIL_PASS"));

    SendRequest request;
    SetField(request.szName, "鈴木花子");
    SetField(request.szAddress, "hanako@example.jp");
    SetField(request.szTitle, "会議の資料について（第2回）");
    // Lone LF line ends and lines holding only dots: a server must see them as text, not as the
    // end of the data.
    const std::string strBody = "%NAME様\n\nお世話になっております。\n.\n資料を添付します。\r\n..以上\r\n";
    SetField(request.szTextFile, WriteTestFile(folder, "本文.txt", strBody));
    std::string strAttachment;
    for (int i = 0; i < 5000; ++i)
        strAttachment.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
    SetField(request.szBinFile, WriteTestFile(folder, "報告書.bin", strAttachment));

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
    const std::string strBodyFile = WriteTestFile(folder, "expected.txt", Utf8(strExpectedBody));
    const std::string strCommand =
        "python3 " + Quote(kScripts + "check_message.py") + " --outbox " + Quote(servers.Env("OUTBOX"))
        + " --subject " + Quote(Utf8(request.szTitle)) + " --from-name " + Quote(Utf8(sender.szName))
        + " --from-addr taro@example.jp --to-name " + Quote(Utf8(request.szName))
        + " --to-addr hanako@example.jp --body-file " + Quote(strBodyFile) + " --attachment "
        + Quote(ToOsPath(request.szBinFile)) + " --attachment-name " + Quote(Utf8("報告書.bin"));
    std::string strOutput;
    EXPECT_EQ(RunShell(strCommand, strOutput), 0) << strOutput;
}
