// OAuthInteropTest.cpp - a Japanese mail through Postfix with an OAuth 2.0 access token, on
// submission (587-style, STARTTLS, XOAUTH2) and on smtps (465-style, implicit TLS, OAUTHBEARER),
// and after a POP3S log-in to Dovecot with AUTH XOAUTH2: Dovecot's oauth2 passdb asks the fake
// authorization server (tests/support/fake_oauth_server.py) whether the token is active. Skipped
// where either cannot run.
#include "mail/MailSender.h"

#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "app/TextCodec.h"
#include "mail/OAuthClient.h"
#include "mail/SystemSocket.h"
#include "support/FakeOAuthServer.h"
#include "support/RealMailServers.h"
#include "support/ScriptedPlatform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

namespace
{
struct InteropCase
{
    const char* pszName;
    SmtpSecurity smtp;
    const char* pszSmtpPortKey;
    bool bPop3s;              // POP before SMTP over POP3S with the token first
    const char* pszMechanism; // as Postfix logs it
};

void PrintTo(const InteropCase& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

double NowSeconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}
} // namespace

class OAuthInterop : public ::testing::TestWithParam<InteropCase>
{
};

TEST_P(OAuthInterop, JapaneseMailWithAnAccessTokenDovecotIntrospects)
{
    const InteropCase& row = GetParam();
    CTempFolder folder;
    CFakeOAuthServer authorization(folder, "--refresh rt-0 --user tarvell");
    if (!authorization.Running())
        GTEST_SKIP() << "python3 and openssl are needed for the fake authorization server";
    CRealServers servers;
    std::string strSkip;
    if (!servers.Start(
            strSkip, true, false,
            "MAILSERVERS_OAUTH_INTROSPECT=" + ShellQuote(authorization.Url("/introspect")) +
                " MAILSERVERS_OAUTH_CA=" + ShellQuote(folder.Path("ca.pem")) + " "))
        GTEST_SKIP() << "real mail servers cannot run here: " << strSkip;

    // One CaFile trusts both: the mail servers' CA and the authorization server's.
    folder.Write("trusted.pem",
                 ReadWholeFile(servers.Env("CA_FILE"), 1 << 20) + folder.Read("ca.pem"));
    DeliveryProfile profile;
    profile.smtp = row.smtp;
    profile.pop = row.bPop3s ? PopSecurity::tls : PopSecurity::none;
    profile.auth = Authentication::oauth2;
    profile.strCaFile = folder.Path("trusted.pem");
    profile.oauth.provider = OAuthProvider::custom;
    profile.oauth.strClientId = "tarvell-test";
    profile.oauth.strTokenUrl = authorization.Url("/token");
    profile.oauth.strScope = "SMTP.Send";
    folder.Write(kOAuthTokenFileName, "ClientId=tarvell-test@" + profile.oauth.strTokenUrl +
                                          "\r\nRefreshToken=rt-0\r\n");
    CSystemSocketFactory sockets;
    COAuthClient client(sockets, profile.oauth, folder.Path(kOAuthTokenFileName),
                        profile.strCaFile);

    SenderInf sender;
    SetField(sender.szName, "山田太郎");
    SetField(sender.szMailAddress, "taro@example.jp");
    servers.SetServers(sender);
    SetField(sender.szSmtpServer, "localhost:" + servers.Env(row.pszSmtpPortKey));
    SetField(sender.szPop3Server, "localhost:" + servers.Env("POP3S_PORT"));
    SetField(sender.szPassword, ""); // no password: the token is all
    SendRequest request;
    SetField(request.szName, "鈴木花子");
    SetField(request.szAddress, "hanako@example.jp");
    SetField(request.szTitle, "OAuth 2.0 での送信");
    SetField(request.szTextFile, folder.Write("本文.txt", "%NAME様\r\nトークンで送りました。\r\n"));
    CScriptedPlatform platform;
    CMailSender mail(platform, MailOptions{.profile = profile, .pAccessTokens = &client});
    const double dStart = NowSeconds();
    const SendOutcome outcome = mail.Deliver(sender, request, false);
    const double dSeconds = NowSeconds() - dStart;
    ASSERT_GT(SendResultOf(outcome), 0) << outcome.strDetail << "\n" << servers.DovecotLog();
    ExpectedMessage expected; // waits for the delivery and decodes it as a reader would
    expected.strSubject = "OAuth 2.0 での送信";
    expected.strFromName = "山田太郎";
    expected.strFromAddr = "taro@example.jp";
    expected.strToName = "鈴木花子";
    expected.strToAddr = "hanako@example.jp";
    expected.strBodyFile = folder.Write("expected.txt", "鈴木花子様\r\nトークンで送りました。\r\n");
    for (std::string* pText : {&expected.strSubject, &expected.strFromName, &expected.strToName})
        *pText = SjisToUtf8Lossy(*pText);
    folder.Write("expected.txt", SjisToUtf8Lossy(folder.Read("expected.txt")));
    std::string strReport;
    EXPECT_EQ(CheckDeliveredMessage(servers, expected, strReport), 0) << strReport;
    EXPECT_EQ(servers.DeliveredUsers(), "tarvell\n");
    EXPECT_NE(servers.PostfixLog().find(std::string("sasl_method=") + row.pszMechanism +
                                        ", sasl_username=tarvell"),
              std::string::npos)
        << servers.PostfixLog();
    if (row.bPop3s)
    {
        EXPECT_NE(servers.DovecotLog().find("Login: user=<tarvell>, method=XOAUTH2"),
                  std::string::npos)
            << servers.DovecotLog();
    }
    EXPECT_NE(authorization.Log("requests.log").find("/introspect token=at-1"), std::string::npos);
    // The figure for the README: one signed-in send, the token had, against real servers.
    RecordProperty("send_seconds", std::to_string(dSeconds));
    std::printf("signed-in send (%s): %.3f s\n", row.pszName, dSeconds);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OAuthInterop,
    ::testing::Values(InteropCase{"Submission587StartTlsXOAuth2", SmtpSecurity::starttls,
                                  "SUBMISSION_PORT", false, "XOAUTH2"},
                      InteropCase{"Smtps465OAuthBearer", SmtpSecurity::tls, "SMTPS_PORT", false,
                                  "OAUTHBEARER"},
                      InteropCase{"Pop3sXOAuth2ThenSubmission", SmtpSecurity::starttls,
                                  "SUBMISSION_PORT", true, "XOAUTH2"}),
    [](const ::testing::TestParamInfo<InteropCase>& paramInfo) { return paramInfo.param.pszName; });
