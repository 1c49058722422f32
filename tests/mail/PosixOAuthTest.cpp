// PosixOAuthTest.cpp - OAuth 2.0 sign-in end to end against tests/support/fake_oauth_server.py (an
// authorization server on loopback), with the scripted fake mail server behind a TLS front as
// the SMTP and POP3 servers: the refresh token rotated and saved owner-only, the access token
// reused until shortly before it runs out, a revoked sign-in failing before any connection,
// OAUTHBEARER and XOAUTH2 with the error exchange, POP3 AUTH XOAUTH2 before SMTP, the token never
// reaching the trace, the device grant's polling, and OAuthTokenCommand.
// (Linux only: the fake servers are started through the shell and OpenSSL, and the browser's
// loopback redirect and the token command have their Windows test in WinOAuthTest.cpp.)
#include "mail/MailSender.h"

#include "app/Sjis.h"
#include "mail/ModernSession.h"
#include "mail/OAuthClient.h"
#include "mail/OAuthHttp.h"
#include "mail/OAuthSasl.h"
#include "mail/Pkce.h"
#include "mail/SmtpAuth.h"
#include "mail/SystemSocket.h"
#include "mail/TokenCommand.h"
#include "mail/TraceSink.h"
#include "support/FakeMailServer.h"
#include "support/BrowserVisit.h"
#include "support/FakeOAuthServer.h"
#include "support/ScriptedPlatform.h"
#include "support/TempFolder.h"
#include "support/TlsFakeServer.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>

namespace
{
// Everything the connection shows the trace: secrets only as their shown part.
class CRecordingTrace : public ITraceSink
{
  public:
    void Connected(const std::string&, int, bool) override {}
    void Sent(std::string_view bytes) override { m_strText.append(bytes); }
    void SentSecret(std::string_view shown, std::size_t) override
    {
        m_strText.append(shown).append("***\r\n");
    }
    void SentData(std::size_t) override {}
    void Received(std::string_view bytes) override { m_strText.append(bytes); }
    void Closed() override {}
    std::string m_strText;
};

// The SASL initial responses the servers must see for the access token.
std::string BearerLine(const std::string& strToken)
{
    return "AUTH OAUTHBEARER " +
           Base64("n,a=taro@example.jp,\x01"
                  "auth=Bearer " +
                  strToken + "\x01\x01") +
           "\r\n";
}

std::string XOAuth2Line(const std::string& strToken)
{
    return "AUTH XOAUTH2 " +
           Base64("user=taro@example.jp\x01"
                  "auth=Bearer " +
                  strToken + "\x01\x01") +
           "\r\n";
}

// The error a server sends as a challenge or continuation before it refuses a token.
const std::string kErrorChallenge =
    Base64(R"({"status":"401","schemes":"bearer","scope":"SMTP.Send"})");

// A submission server offering strOffer that takes the token, or (bRefuse) answers AUTH with
// the error challenge, waits for the empty response and refuses.
CServerScript SmtpWithToken(const std::string& strOffer, bool bRefuse = false)
{
    CServerScript script;
    script.Say("220 fake ESMTP\r\n").Line().Say("250-fake\r\n250 AUTH " + strOffer + "\r\n").Line();
    if (bRefuse)
        return script.Say("334 " + kErrorChallenge + "\r\n")
            .Line()
            .Say("535 5.7.3 Authentication unsuccessful\r\n")
            .Line()
            .Say("221 bye\r\n");
    return script.Say("235 2.7.0 Authentication successful\r\n")
        .Line()
        .Say("250 ok\r\n")
        .Line()
        .Say("250 ok\r\n")
        .Line()
        .Say("354 go\r\n")
        .Data()
        .Say("250 2.0.0 queued\r\n")
        .Line()
        .Say("221 bye\r\n");
}

std::size_t Count(const std::string& strText, const std::string& strPart)
{
    std::size_t n = 0;
    for (std::size_t at = strText.find(strPart); at != std::string::npos;
         at = strText.find(strPart, at + 1))
        ++n;
    return n;
}

// The mail servers of a test: the scripted fake server, spoken to through implicit TLS.
class OAuthMail : public ::testing::Test
{
  public:
    void SetUp() override
    {
        m_profile.smtp = SmtpSecurity::tls;
        m_profile.auth = Authentication::oauth2;
        m_profile.strCaFile = m_folder.Write("trusted.pem", ReadBytes(m_front.CaFile()));
        SetField(m_sender.szMailAddress, "taro@example.jp");
        SetField(m_sender.szSmtpServer, m_front.HostPort());
        SetField(m_request.szName, "花子");
        SetField(m_request.szAddress, "hanako@example.jp");
        SetField(m_request.szTitle, "件名");
        SetField(m_request.szTextFile, m_folder.Write("body.txt", "本文です\r\n"));
    }

    SendOutcome Send(IAccessTokenSource* pTokens)
    {
        CMailSender mail(
            m_platform,
            MailOptions{.profile = m_profile, .pAccessTokens = pTokens, .pTrace = &m_trace});
        return mail.Deliver(m_sender, m_request, false);
    }

    CTempFolder m_folder;
    CFakeMailServer m_mail;
    CTlsFront m_front{m_mail.Port(), m_folder.Dir()};
    CSystemSocketFactory m_sockets;
    CScriptedPlatform m_platform;
    CRecordingTrace m_trace;
    DeliveryProfile m_profile;
    SenderInf m_sender;
    SendRequest m_request;
};

class OAuthSend : public OAuthMail
{
  public:
    void Start(const std::string& strArgs)
    {
        m_pServer = std::make_unique<CFakeOAuthServer>(m_folder, strArgs);
        if (!m_pServer->Running())
            GTEST_SKIP() << "python3 and openssl are needed for the fake authorization server";
        // One CaFile trusts both: the TLS front's and the authorization server's certificate.
        m_folder.Write("trusted.pem", ReadBytes(m_front.CaFile()) + m_folder.Read("ca.pem"));
        m_profile.oauth.provider = OAuthProvider::custom;
        m_profile.oauth.strClientId = "tarvell-test";
        m_profile.oauth.strTokenUrl = m_pServer->Url("/token");
        m_profile.oauth.strDeviceUrl = m_pServer->Url("/device");
        m_profile.oauth.strScope = "SMTP.Send offline_access";
        m_strTokenFile = m_folder.Path(kOAuthTokenFileName);
        m_pClient = std::make_unique<COAuthClient>(m_sockets, m_profile.oauth, m_strTokenFile,
                                                   m_profile.strCaFile);
        m_pClient->now = [this] { return m_tNow; };
    }

    // Signs in as if "oauth login" had been run, with the refresh token the server knows.
    void SignedIn(const std::string& strRefresh)
    {
        m_folder.Write(kOAuthTokenFileName, "ClientId=tarvell-test@" + m_profile.oauth.strTokenUrl +
                                                "\r\nRefreshToken=" + strRefresh + "\r\n");
    }

    SendOutcome Send() { return OAuthMail::Send(m_pClient.get()); }

    std::unique_ptr<CFakeOAuthServer> m_pServer;
    std::unique_ptr<COAuthClient> m_pClient;
    std::string m_strTokenFile;
    std::time_t m_tNow = 1000000;
};
} // namespace

TEST_F(OAuthSend, RotatedRefreshTokenSavedAndAccessTokenRenewedOnlyBeforeItRunsOut)
{
    Start("--refresh rt-0 --expires 3600");
    SignedIn("rt-0");
    for (int i = 0; i < 3; ++i)
        m_mail.AddConnection(SmtpWithToken("XOAUTH2 OAUTHBEARER"));
    ASSERT_TRUE(Send().Sent());
    // The server rotated rt-0 to rt-1: the new one is saved, owner only.
    EXPECT_NE(m_folder.Read(kOAuthTokenFileName).find("RefreshToken=rt-1\r\n"), std::string::npos);
    struct stat st
    {
    };
    ASSERT_EQ(::stat(m_strTokenFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    m_tNow += 3600 - 61; // still more than a minute left: the same token
    ASSERT_TRUE(Send().Sent());
    EXPECT_EQ(Count(m_pServer->Log("requests.log"), "grant_type=refresh_token"), 1u);
    m_tNow += 2; // under a minute left: renewed with the rotated token
    ASSERT_TRUE(Send().Sent());
    EXPECT_NE(m_pServer->Log("requests.log").find("refresh_token=rt-1"), std::string::npos);
    EXPECT_NE(m_folder.Read(kOAuthTokenFileName).find("RefreshToken=rt-2\r\n"), std::string::npos);

    m_mail.Stop();
    const char* const tokens[] = {"at-1", "at-1", "at-2"};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_NE(m_mail.Received(i).find(BearerLine(tokens[i])), std::string::npos)
            << m_mail.Received(i);
    EXPECT_NE(m_mail.Received(0).find("RCPT TO:<hanako@example.jp>"), std::string::npos);
    // The access tokens and the AUTH line's secret never reach the trace.
    EXPECT_EQ(m_trace.m_strText.find("at-"), std::string::npos);
    EXPECT_EQ(Count(m_trace.m_strText, "AUTH OAUTHBEARER ***"), 3u);
}

TEST_F(OAuthSend, RevokedSignInFailsBeforeAnySmtpConnection)
{
    Start("--refresh rt-0 --revoked");
    SignedIn("rt-0");
    const SendOutcome outcome = Send();
    EXPECT_EQ(SendResultOf(outcome), Code(SendCode::OAuthTokenFailed));
    EXPECT_EQ(outcome.strDetail.rfind("再度サインインしてください (invalid_grant: AADSTS70008: "
                                      "トークンは取り消されました)",
                                      0),
              0u)
        << outcome.strDetail;
    EXPECT_EQ(m_mail.ConnectionCount(), 0u);
    // The refused token is kept: a passing outage must not sign the user out.
    EXPECT_NE(m_folder.Read(kOAuthTokenFileName).find("rt-0"), std::string::npos);

    m_folder.Write(kOAuthTokenFileName, "");
    EXPECT_EQ(Send().strDetail.rfind("OAuth 2.0 でサインインしていません", 0), 0u);
}

// A token file that cannot be replaced is left as it was (never half written), and the send
// fails with the reason.
TEST_F(OAuthSend, FailedSaveKeepsTheOldTokenFile)
{
    const std::string strSkip = NoUnprivilegedUserReason();
    if (!strSkip.empty())
        GTEST_SKIP() << strSkip;
    Start("--refresh rt-0");
    SignedIn("rt-0");
    const std::string strOld = m_folder.Read(kOAuthTokenFileName);
    // Readable, but neither the file nor its folder writable for "nobody".
    ASSERT_EQ(::chmod(m_folder.Dir().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(m_strTokenFile.c_str(), 0644), 0);
    const std::string strError = RunAsNobody([this] {
        std::string strToken;
        std::string strWhy;
        return m_pClient->AccessToken(strToken, strWhy) ? "token " + strToken : strWhy;
    });
    EXPECT_EQ(strError, std::string(kOAuthTokenFileName) + " に新しいトークンを保存できません");
    EXPECT_EQ(m_folder.Read(kOAuthTokenFileName), strOld);
}

struct MechanismCase
{
    const char* pszName;
    const char* pszOffer;
    std::string strAuth; // the AUTH line the server must get
};

void PrintTo(const MechanismCase& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class OAuthExchange : public OAuthSend, public ::testing::WithParamInterface<MechanismCase>
{
};

// A refused token: the error challenge is answered with an empty line and the 535 that follows
// is reported with the challenge's status; nothing reaches MAIL FROM.
TEST_P(OAuthExchange, RefusedTokenEndsTheExchangeRight)
{
    Start("--refresh rt-0");
    SignedIn("rt-0");
    m_mail.AddConnection(SmtpWithToken(GetParam().pszOffer, true));
    const SendOutcome outcome = Send();
    EXPECT_EQ(SendResultOf(outcome), Code(SendCode::OAuthRefused));
    EXPECT_EQ(outcome.strDetail, "535 5.7.3 Authentication unsuccessful (status 401)");
    m_mail.Stop();
    const std::string strEhlo = "EHLO " + CModernSession::EhloName() + "\r\n";
    EXPECT_EQ(m_mail.Received(0), strEhlo + GetParam().strAuth + "\r\nQUIT\r\n");
}

INSTANTIATE_TEST_SUITE_P(Rows, OAuthExchange,
                         ::testing::Values(MechanismCase{"OAuthBearerPreferred",
                                                         "XOAUTH2 OAUTHBEARER", BearerLine("at-1")},
                                           MechanismCase{"XOAuth2", "PLAIN XOAUTH2",
                                                         XOAuth2Line("at-1")}),
                         [](const testing::TestParamInfo<MechanismCase>& paramInfo) {
                             return std::string(paramInfo.param.pszName);
                         });

// An access token that is always the same.
class CFixedToken : public IAccessTokenSource
{
  public:
    bool AccessToken(std::string& strToken, std::string&) override
    {
        strToken = "tok-1";
        return true;
    }
};

struct PopCase
{
    const char* pszName;
    std::vector<std::string> replies; // after the greeting: to AUTH, and to what follows
    std::string strSent;              // what the POP3 server gets
    SendCode code;                    // NoSession stands for a sent mail
    const char* pszDetail;
};

void PrintTo(const PopCase& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class OAuthPop : public OAuthMail, public ::testing::WithParamInterface<PopCase>
{
};

// POP before SMTP with a token: AUTH XOAUTH2 over TLS with the same token as SMTP; a refusal's
// error continuation is answered with an empty line, and no SMTP connection follows.
TEST_P(OAuthPop, XOAuth2BeforeSmtp)
{
    const PopCase& row = GetParam();
    m_profile.pop = PopSecurity::tls;
    SetField(m_sender.szPop3Server, m_front.HostPort());
    CServerScript pop;
    pop.Say("+OK ready\r\n").Line();
    for (const std::string& strReply : row.replies)
        pop.Say(strReply).Line();
    m_mail.AddConnection(pop);
    m_mail.AddConnection(SmtpWithToken("XOAUTH2"));
    CFixedToken token;
    const SendOutcome outcome = Send(&token);
    m_mail.Stop();
    EXPECT_EQ(m_mail.Received(0), row.strSent);
    if (row.code == SendCode::NoSession)
    {
        EXPECT_GT(SendResultOf(outcome), 0) << outcome.strDetail;
        EXPECT_NE(m_mail.Received(1).find(XOAuth2Line("tok-1")), std::string::npos);
    }
    else
    {
        EXPECT_EQ(SendResultOf(outcome), Code(row.code));
        EXPECT_EQ(outcome.step, SendStep::PopAuth);
        EXPECT_EQ(outcome.strDetail, row.pszDetail);
        EXPECT_EQ(m_mail.ConnectionCount(), 1u) << "no SMTP connection";
    }
    EXPECT_EQ(m_trace.m_strText.find("tok-1"), std::string::npos);
    EXPECT_NE(m_trace.m_strText.find("AUTH XOAUTH2 ***"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OAuthPop,
    ::testing::Values(PopCase{"Accepted",
                              {"+OK logged in\r\n", "+OK bye\r\n"},
                              XOAuth2Line("tok-1") + "QUIT\r\n",
                              SendCode::NoSession,
                              ""},
                      PopCase{"RefusedAfterTheErrorContinuation",
                              {"+ " + kErrorChallenge + "\r\n",
                               "-ERR [AUTH] Authentication failed.\r\n", "+OK bye\r\n"},
                              XOAuth2Line("tok-1") + "\r\nQUIT\r\n",
                              SendCode::OAuthRefused,
                              "-ERR [AUTH] Authentication failed. (status 401)"},
                      PopCase{"RefusedAtOnce",
                              {"-ERR [AUTH] Invalid token\r\n", "+OK bye\r\n"},
                              XOAuth2Line("tok-1") + "QUIT\r\n",
                              SendCode::OAuthRefused,
                              "-ERR [AUTH] Invalid token"}),
    [](const testing::TestParamInfo<PopCase>& paramInfo) {
        return std::string(paramInfo.param.pszName);
    });

TEST_F(OAuthSend, DeviceSignInPollsAtTheIntervalAndSlowsDown)
{
    Start("--pending 1 --slow-down 1");
    std::vector<int> pauses;
    m_pClient->pause = [&](int nSeconds) {
        pauses.push_back(nSeconds);
        m_tNow += nSeconds;
    };
    DeviceCode shown;
    std::string strError;
    ASSERT_TRUE(
        m_pClient->SignInWithDevice([&](const DeviceCode& code) { shown = code; }, strError))
        << strError;
    EXPECT_EQ(shown.strUserCode, "ABCD-EFGH");
    EXPECT_EQ(pauses, (std::vector<int>{1, 6, 6})); // slow_down adds five seconds for good
    EXPECT_TRUE(m_pClient->SignedIn());
    m_mail.AddConnection(SmtpWithToken("OAUTHBEARER"));
    EXPECT_TRUE(Send().Sent());
    m_pClient->SignOut();
    EXPECT_FALSE(m_pClient->SignedIn());
}

class BrowserSignIn : public OAuthSend, public ::testing::WithParamInterface<bool>
{
};

// Exactly one request to the redirect is taken, and only with the state sent: a forged one ends
// the sign-in, and nothing after it is heard. PKCE is checked by the fake's token endpoint.
TEST_P(BrowserSignIn, OneRequestWithTheRightState)
{
    Start("");
    m_profile.oauth.strAuthorizeUrl = m_pServer->Url("/authorize");
    m_pClient = std::make_unique<COAuthClient>(m_sockets, m_profile.oauth, m_strTokenFile,
                                               m_profile.strCaFile);
    const bool bForged = GetParam();
    std::thread browser;
    std::string strPage;
    int nPort = 0;
    const auto open = [&](const std::string& strUrl) {
        HttpReply reply;
        std::string strError;
        EXPECT_TRUE(HttpsPostForm(m_sockets, m_profile.strCaFile, m_pServer->Url("/authorize"),
                                  strUrl.substr(strUrl.find('?') + 1), reply, strError));
        // {"location": "http://127.0.0.1:PORT/?code=c-1&state=..."}
        const std::size_t nAt = reply.strBody.find("http://127.0.0.1:");
        EXPECT_NE(nAt, std::string::npos) << reply.strBody;
        std::string strLocation = reply.strBody.substr(nAt, reply.strBody.find('"', nAt) - nAt);
        nPort = std::atoi(strLocation.c_str() + 17);
        std::string strPath = strLocation.substr(strLocation.find('/', 17));
        if (bForged)
            strPath = strPath.substr(0, strPath.find("state=") + 6) + "forged";
        browser = std::thread([&, strPath] { strPage = VisitLoopback(nPort, strPath); });
        return true;
    };
    std::string strError;
    const bool bSigned = m_pClient->SignInWithBrowser(open, 10, strError);
    browser.join();
    EXPECT_EQ(bSigned, !bForged) << strError;
    EXPECT_EQ(m_pClient->SignedIn(), !bForged);
    EXPECT_EQ(strPage.rfind(bForged ? "HTTP/1.1 400" : "HTTP/1.1 200", 0), 0u) << strPage;
    EXPECT_EQ(VisitLoopback(nPort, "/?code=c-1&state=x"), ""); // the listener is gone
    if (!bForged)
    {
        m_mail.AddConnection(SmtpWithToken("OAUTHBEARER"));
        EXPECT_TRUE(Send().Sent());
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, BrowserSignIn, ::testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& paramInfo) {
                             return std::string(paramInfo.param ? "ForgedState" : "RightState");
                         });

TEST(Pkce, ChallengeOfTheRfc7636Example)
{
    EXPECT_EQ(CodeChallengeS256("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
              "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    EXPECT_EQ(Base64Url(Sha256(std::string(1000, 'a'))),
              "Qe3s5C1j6Nm_UVqbppMuHCDLyfWl0TRkWttdsblzfqM"); // padding across blocks
    EXPECT_EQ(RandomToken(32).size(), 43u);
    EXPECT_NE(RandomToken(16), RandomToken(16));
}

struct CommandCase
{
    const char* pszName;
    const char* pszCommand;
    bool bGood;
    const char* pszResult; // the token, or the start of the error
};

class TokenCommandRun : public ::testing::TestWithParam<CommandCase>
{
};

TEST_P(TokenCommandRun, FirstLineOrAClearMessage)
{
    std::vector<std::string> words;
    std::string strToken;
    std::string strError;
    const bool bSplit = SplitCommandLine(GetParam().pszCommand, words);
    const bool bGood = bSplit && RunTokenCommand(words, 1, strToken, strError);
    EXPECT_EQ(bGood, GetParam().bGood);
    if (GetParam().bGood)
    {
        EXPECT_EQ(strToken, GetParam().pszResult);
    }
    else if (bSplit)
    {
        EXPECT_EQ(strError.rfind(GetParam().pszResult, 0), 0u) << strError;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TokenCommandRun,
    ::testing::Values(CommandCase{"FirstLine", "sh -c 'printf \"tok-1\\r\\nsecond\\n\"'", true,
                                  "tok-1"},
                      CommandCase{"NoShell", "echo $HOME", true, "$HOME"},
                      CommandCase{"Quoting", "printf %s%s 'a''b' \"c\"", true, "abc"},
                      CommandCase{"Fails", "sh -c 'echo tok; exit 3'", false,
                                  "OAuthTokenCommand が失敗しました (終了コード 3)"},
                      CommandCase{"Empty", "true", false,
                                  "OAuthTokenCommand がアクセストークンを出力しませんでした"},
                      CommandCase{"Hangs", "sleep 30", false, "OAuthTokenCommand が 1 秒以内に"},
                      CommandCase{"Missing", "/nonexistent/helper", false,
                                  "OAuthTokenCommand が失敗しました (終了コード 127)"},
                      CommandCase{"UnclosedQuote", "helper 'x", false, ""}),
    [](const testing::TestParamInfo<CommandCase>& paramInfo) {
        return std::string(paramInfo.param.pszName);
    });

TEST(OAuthHttp, RepliesByLengthChunksOrCloseAndCutOnesRefused)
{
    HttpReply reply;
    ASSERT_TRUE(ParseHttpReply("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nabcdEXTRA", reply));
    EXPECT_EQ(reply.strBody, "abcd");
    ASSERT_TRUE(ParseHttpReply(
        "HTTP/1.1 400 Bad\r\ntransfer-encoding: chunked\r\n\r\n3\r\nabc\r\n1;x\r\nd\r\n0\r\n\r\n",
        reply));
    EXPECT_EQ(reply.nStatus, 400);
    EXPECT_EQ(reply.strBody, "abcd");
    EXPECT_FALSE(ParseHttpReply("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabcd", reply));
    EXPECT_FALSE(
        ParseHttpReply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n9\r\nab", reply));
    HttpsUrl url;
    ASSERT_TRUE(ParseHttpsUrl("https://[::1]:8443?a=b", url));
    EXPECT_EQ(url.strHost + " " + std::to_string(url.nPort) + " " + url.strPath, "::1 8443 /?a=b");
    EXPECT_FALSE(ParseHttpsUrl("http://idp.example/token", url));
    EXPECT_FALSE(ParseHttpsUrl("https://user@idp.example/token", url));
    EXPECT_EQ(FormEncode({{"scope", "a b/c"}, {"x", "~"}}), "scope=a%20b%2Fc&x=~");
}
