// ModernSessionTest.cpp - the delivery profile's SMTP session over a scripted socket: the exact
// bytes of EHLO, AUTH PLAIN, LOGIN and CRAM-MD5 (the RFC 2195 example), multi-line replies in
// pieces, the refusals that must never fall back to clear text, and response injection after
// STARTTLS and STLS. TLS itself meets real servers in the interop tests.
#include "mail/MailSender.h"

#include "app/Sjis.h"
#include "mail/ModernSession.h"
#include "mail/SmtpAuth.h"
#include "support/MessageHeaders.h"
#include "support/ScriptedPlatform.h"
#include "support/ScriptedSocket.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
const std::string kEhlo = "EHLO " + CModernSession::EhloName() + "\r\n";
const std::string kEnvelope =
    "MAIL FROM:<taro@example.jp>\r\nRCPT TO:<hanako@example.jp>\r\nDATA\r\n";
const std::string kMessage =
    "From: Taro <taro@example.jp>\r\nTo: Hanako <hanako@example.jp>\r\nSubject: Hi\r\n"
    "Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\nContent-Transfer-Encoding: 7bit\r\n" +
    kAddedHeaderLines + "MIME-Version: 1.0\r\n\r\nHello\r\n.\r\n";

// The RFC 2195 example: user "tim", password "tanstaaftanstaaf".
const std::string kCramChallenge = "PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+";
const std::string kCramAnswer = "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw";
} // namespace

class ModernSessionTest : public ::testing::Test
{
  public:
    void SetUp() override
    {
        SetField(m_sender.szName, "Taro");
        SetField(m_sender.szMailAddress, "taro@example.jp");
        SetField(m_sender.szPop3Server, "pop.example.jp");
        SetField(m_sender.szSmtpServer, "smtp.example.jp");
        SetField(m_sender.szLoginName, "tim");
        SetField(m_sender.szPassword, "tanstaaftanstaaf");
        SetField(m_request.szName, "Hanako");
        SetField(m_request.szAddress, "hanako@example.jp");
        SetField(m_request.szTitle, "Hi");
        SetField(m_request.szTextFile, m_folder.Write("body.txt", "Hello\r\n"));
        m_profile.auth = Authentication::smtpAuth;
    }

    SendOutcome Send()
    {
        CMailSender sender(m_platform, m_factory, MailOptions{.profile = m_profile});
        return sender.Deliver(m_sender, m_request, false);
    }

    std::string Sent(std::size_t n) const
    {
        return n < m_socket.m_sent.size() ? MaskMessageId(m_socket.m_sent[n]) : "<none>";
    }

    CTempFolder m_folder;
    CScriptedSocket m_socket;
    CScriptedSocketFactory m_factory{m_socket};
    CScriptedPlatform m_platform;
    SenderInf m_sender;
    SendRequest m_request;
    DeliveryProfile m_profile;
};

// SMTP AUTH without TLS on the submission port: a multi-line greeting and EHLO reply arriving in
// pieces that end at line ends are read whole, CRAM-MD5 is preferred, and every command ends in
// CR LF.
TEST_F(ModernSessionTest, SubmissionWithCramMd5AndMultiLineRepliesInPieces)
{
    m_socket.NextConnection()
        .Piece("220-smtp.example.jp ESMTP\r\n")
        .Piece("220 ready\r\n")
        .Piece("250-smtp.example.jp\r\n")
        .Piece("250-AUTH PLAIN LOGIN CRAM-MD5\r\n250-SIZE 1000")
        .Piece("0000\r\n250 8BITMIME\r\n")
        .Piece("334 " + kCramChallenge + "\r\n")
        .Piece("235 2.7.0 ok\r\n")
        .Piece("250 ok\r\n250 ok\r\n") // MAIL and RCPT answered in one piece: pending, read next
        .Piece("354 go\r\n")
        .Piece("250 queued\r\n")
        .Piece("221 bye\r\n");
    const SendOutcome outcome = Send();
    EXPECT_EQ(SendResultOf(outcome), 5);
    EXPECT_EQ(m_socket.m_connects, std::vector<std::string>{"smtp.example.jp:587"});
    EXPECT_EQ(Sent(0), kEhlo + "AUTH CRAM-MD5\r\n" + kCramAnswer + "\r\n" + kEnvelope + kMessage +
                           "QUIT\r\n");
    EXPECT_TRUE(m_socket.ScriptDone());
}

struct AuthCase
{
    const char* pszName;
    const char* pszOffered; // the AUTH line of the EHLO reply
    std::vector<std::string> replies;
    std::string strSent; // after EHLO
    SendCode code;       // NoSession stands for success here
};

// A failing row names itself, not its bytes.
void PrintTo(const AuthCase& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class AuthExchangeTest : public ModernSessionTest, public ::testing::WithParamInterface<AuthCase>
{
};

TEST_P(AuthExchangeTest, ExactBytes)
{
    const AuthCase& row = GetParam();
    CScriptedSocket& connection =
        m_socket.NextConnection()
            .Piece("220 ready\r\n")
            .Piece(std::string("250-hi\r\n250 ") + row.pszOffered + "\r\n");
    for (const std::string& strReply : row.replies)
        connection.Piece(strReply);
    const SendOutcome outcome = Send();
    if (row.code == SendCode::NoSession)
        EXPECT_EQ(SendResultOf(outcome), 5);
    else
    {
        EXPECT_EQ(SendResultOf(outcome), Code(row.code));
        EXPECT_EQ(outcome.step, SendStep::SmtpAuth);
    }
    EXPECT_EQ(Sent(0), kEhlo + row.strSent);
    EXPECT_FALSE(m_socket.m_bOpen);
}

const std::vector<std::string> kAccepted = {"250 ok\r\n", "250 ok\r\n", "354 go\r\n",
                                            "250 queued\r\n", "221 bye\r\n"};

std::vector<std::string> Then(std::vector<std::string> first, const std::vector<std::string>& rest)
{
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
}

INSTANTIATE_TEST_SUITE_P(
    Mechanisms, AuthExchangeTest,
    ::testing::Values(
        AuthCase{"PlainBeforeLogin", "AUTH LOGIN PLAIN", Then({"235 ok\r\n"}, kAccepted),
                 "AUTH PLAIN AHRpbQB0YW5zdGFhZnRhbnN0YWFm\r\n" + kEnvelope + kMessage + "QUIT\r\n",
                 SendCode::NoSession},
        AuthCase{"LoginOnly", "AUTH=LOGIN",
                 Then({"334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n"}, kAccepted),
                 "AUTH LOGIN\r\ndGlt\r\ndGFuc3RhYWZ0YW5zdGFhZg==\r\n" + kEnvelope + kMessage +
                     "QUIT\r\n",
                 SendCode::NoSession},
        AuthCase{"CramMd5Refused",
                 "AUTH cram-md5 plain",
                 {"334 " + kCramChallenge + "\r\n", "535 5.7.8 bad\r\n", "221 bye\r\n"},
                 "AUTH CRAM-MD5\r\n" + kCramAnswer + "\r\nQUIT\r\n",
                 SendCode::LoginRefused},
        AuthCase{"NothingUsableOffered",
                 "AUTH GSSAPI XOAUTH2",
                 {"221 bye\r\n"},
                 "QUIT\r\n",
                 SendCode::AuthNotOffered},
        AuthCase{"ConnectionLostDuringAuth",
                 "AUTH PLAIN",
                 {},
                 "AUTH PLAIN AHRpbQB0YW5zdGFhZnRhbnN0YWFm\r\n",
                 SendCode::LoginNoReply}),
    [](const ::testing::TestParamInfo<AuthCase>& paramInfo) { return paramInfo.param.pszName; });

// CRAM-MD5 keeps the password off the wire only without TLS; over TLS PLAIN is the better choice.
TEST(SmtpAuth, CramMd5IsNotChosenOverTls)
{
    const SmtpCapabilities capabilities = ParseEhloReply({"hi", "AUTH CRAM-MD5 LOGIN PLAIN"});
    EXPECT_EQ(ChooseAuthMechanism(capabilities, false), AuthMechanism::cramMd5);
    EXPECT_EQ(ChooseAuthMechanism(capabilities, true), AuthMechanism::plain);
    EXPECT_EQ(CramMd5Response("tim", "tanstaaftanstaaf", "not base64!"), "");
}

// A profile that asks for TLS never sends AUTH, MAIL FROM, USER or PASS in clear: refusals end
// the attempt, and bytes sent after the reply to STARTTLS or STLS before the handshake (response
// injection) fail it before any handshake is tried.
struct RefusalCase
{
    const char* pszName;
    SmtpSecurity smtp;
    PopSecurity pop;
    std::vector<std::string> replies;
    std::string strSent;
    SendCode code;
    SendStep step;
};

// A failing row names itself, not its bytes.
void PrintTo(const RefusalCase& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class TlsRefusalTest : public ModernSessionTest, public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(TlsRefusalTest, NothingSecretInClear)
{
    const RefusalCase& row = GetParam();
    m_profile.smtp = row.smtp;
    m_profile.pop = row.pop;
    if (row.pop != PopSecurity::none)
        m_profile.auth = Authentication::popBeforeSmtp;
    CScriptedSocket& connection = m_socket.NextConnection();
    for (const std::string& strReply : row.replies)
        connection.Piece(strReply);
    const SendOutcome outcome = Send();
    EXPECT_EQ(SendResultOf(outcome), Code(row.code));
    EXPECT_EQ(outcome.step, row.step);
    EXPECT_EQ(Sent(0), row.strSent);
    EXPECT_EQ(m_socket.m_sent.size(), 1u) << "no second connection";
    EXPECT_FALSE(m_socket.m_bOpen);
}

INSTANTIATE_TEST_SUITE_P(
    NoDowngrade, TlsRefusalTest,
    ::testing::Values(RefusalCase{"StartTlsNotOffered",
                                  SmtpSecurity::starttls,
                                  PopSecurity::none,
                                  {"220 hi\r\n", "250-hi\r\n250 AUTH PLAIN\r\n", "221 bye\r\n"},
                                  kEhlo + "QUIT\r\n",
                                  SendCode::TlsNotOffered,
                                  SendStep::SmtpTls},
                      RefusalCase{"StartTlsRefused",
                                  SmtpSecurity::starttls,
                                  PopSecurity::none,
                                  {"220 hi\r\n", "250-hi\r\n250 STARTTLS\r\n",
                                   "454 4.7.0 not now\r\n", "221 bye\r\n"},
                                  kEhlo + "STARTTLS\r\nQUIT\r\n",
                                  SendCode::TlsRefused,
                                  SendStep::SmtpTls},
                      RefusalCase{"StartTlsReplyWithInjectedCommand",
                                  SmtpSecurity::starttls,
                                  PopSecurity::none,
                                  {"220 hi\r\n", "250-hi\r\n250 STARTTLS\r\n",
                                   "220 go ahead\r\n250-injected\r\n250 AUTH PLAIN\r\n"},
                                  kEhlo + "STARTTLS\r\n",
                                  SendCode::TlsInjection,
                                  SendStep::SmtpTls},
                      RefusalCase{"StlsRefused",
                                  SmtpSecurity::none,
                                  PopSecurity::stls,
                                  {"+OK ready\r\n", "-ERR not here\r\n", "+OK bye\r\n"},
                                  "STLS\r\nQUIT\r\n",
                                  SendCode::TlsRefused,
                                  SendStep::PopTls},
                      RefusalCase{"StlsReplyWithInjectedLine",
                                  SmtpSecurity::none,
                                  PopSecurity::stls,
                                  {"+OK ready\r\n", "+OK begin TLS\r\n+OK injected\r\n"},
                                  "STLS\r\n",
                                  SendCode::TlsInjection,
                                  SendStep::PopTls}),
    [](const ::testing::TestParamInfo<RefusalCase>& paramInfo) { return paramInfo.param.pszName; });

// The port used when the server field names none; an explicit ":PORT" always wins.
struct PortCase
{
    SmtpSecurity smtp;
    PopSecurity pop;
    Authentication auth;
    int nSmtpPort;
    int nPop3Port;
};

void PrintTo(const PortCase& row, std::ostream* pOut)
{
    *pOut << SmtpSecurityName(row.smtp) << "/" << PopSecurityName(row.pop) << "/"
          << AuthenticationName(row.auth) << " -> " << row.nSmtpPort << "/" << row.nPop3Port;
}

class DefaultPortTest : public ::testing::TestWithParam<PortCase>
{
};

TEST_P(DefaultPortTest, Table)
{
    DeliveryProfile profile;
    profile.smtp = GetParam().smtp;
    profile.pop = GetParam().pop;
    profile.auth = GetParam().auth;
    EXPECT_EQ(DefaultSmtpPort(profile), GetParam().nSmtpPort);
    EXPECT_EQ(DefaultPop3Port(profile), GetParam().nPop3Port);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, DefaultPortTest,
    ::testing::Values(
        PortCase{SmtpSecurity::none, PopSecurity::none, Authentication::popBeforeSmtp, 25, 110},
        PortCase{SmtpSecurity::none, PopSecurity::none, Authentication::none, 25, 110},
        PortCase{SmtpSecurity::none, PopSecurity::none, Authentication::smtpAuth, 587, 110},
        PortCase{SmtpSecurity::starttls, PopSecurity::none, Authentication::none, 587, 110},
        PortCase{SmtpSecurity::starttls, PopSecurity::stls, Authentication::smtpAuth, 587, 110},
        PortCase{SmtpSecurity::tls, PopSecurity::tls, Authentication::smtpAuth, 465, 995},
        PortCase{SmtpSecurity::tls, PopSecurity::none, Authentication::popBeforeSmtp, 465, 110}));

TEST_F(ModernSessionTest, ExplicitPortWinsOverTheProfilesDefault)
{
    m_profile.smtp = SmtpSecurity::tls;
    SetField(m_sender.szSmtpServer, "smtp.example.jp:2525");
    m_socket.NextConnection().RefuseConnect();
    EXPECT_EQ(Send().step, SendStep::SmtpConnect);
    EXPECT_EQ(m_socket.m_connects, std::vector<std::string>{"smtp.example.jp:2525"});
}

// A reply is bounded: an endless multi-line EHLO reply, or a line that never ends, fails EHLO
// instead of growing without end.
TEST_F(ModernSessionTest, OverlongRepliesFailTheStep)
{
    std::string strManyLines;
    for (int i = 0; i < 101; ++i)
        strManyLines += "250-line\r\n";
    m_socket.NextConnection().Piece("220 hi\r\n").Piece(strManyLines + "250 end\r\n");
    EXPECT_EQ(SendResultOf(Send()), Code(SendCode::HeloNoReply));
    m_socket.NextConnection().Piece("220 hi\r\n").Piece(std::string(2100, 'x')).Piece("\r\n");
    EXPECT_EQ(SendResultOf(Send()), Code(SendCode::HeloNoReply));
}
