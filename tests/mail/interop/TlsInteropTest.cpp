// TlsInteropTest.cpp - delivery through real servers in their TLS mode: Postfix submission with
// STARTTLS and SASL, Postfix with implicit TLS, Dovecot with STLS and POP3S; the certificate is
// signed by a CA made for the run. One server set serves every case; each case starts with an
// empty outbox. Skipped with the reason where the servers cannot run.
#include "mail/MailSender.h"

#include "app/Sjis.h"
#include "app/TextCodec.h"
#include "mail/SendResult.h"
#include "support/RealMailServers.h"
#include "support/ScriptedPlatform.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

namespace
{
std::string Utf8(const std::string& strSjis)
{
    std::string strUtf8;
    EXPECT_TRUE(SjisToUtf8(strSjis, strUtf8)) << "test text must be CP932";
    return strUtf8;
}

std::size_t CountOf(const std::string& strText, const std::string& strPiece)
{
    std::size_t nCount = 0;
    for (std::size_t n = strText.find(strPiece); n != std::string::npos;
         n = strText.find(strPiece, n + 1))
        ++nCount;
    return nCount;
}
// The servers of every case in this file, started when the first case needs them and stopped
// when the test program ends.
class CSharedTlsServers : public ::testing::Environment
{
  public:
    CRealServers* Get(std::string& strSkip)
    {
        if (!m_bTried)
        {
            m_bTried = true;
            m_pServers = std::make_unique<CRealServers>();
            if (!m_pServers->Start(m_strSkip, true) && m_strSkip.empty())
                m_strSkip = "start.sh failed";
        }
        strSkip = m_strSkip;
        return m_pServers.get();
    }
    void TearDown() override { m_pServers.reset(); }

  private:
    bool m_bTried = false;
    std::string m_strSkip;
    std::unique_ptr<CRealServers> m_pServers;
};

CSharedTlsServers* const g_pTlsServers =
    static_cast<CSharedTlsServers*>(::testing::AddGlobalTestEnvironment(new CSharedTlsServers));
} // namespace

class TlsInterop : public ::testing::Test
{
  public:
    static void SetUpTestSuite() { s_pServers = g_pTlsServers->Get(s_strSkip); }

    void SetUp() override
    {
        if (!s_strSkip.empty())
            GTEST_SKIP() << "real mail servers cannot run here: " << s_strSkip;
        s_pServers->ClearOutbox();
        SetField(m_sender.szName, "山田太郎");
        SetField(m_sender.szMailAddress, "taro@example.jp");
        s_pServers->SetServers(m_sender);
        SetField(m_request.szName, "鈴木花子");
        SetField(m_request.szAddress, "hanako@example.jp");
        SetField(m_request.szTitle, "暗号化した送信の確認");
        SetField(m_request.szTextFile,
                 m_folder.Write("本文.txt", "%NAME様\r\n資料を添付します。\r\n"));
        std::string strAttachment;
        for (int i = 0; i < 3000; ++i)
            strAttachment.push_back(static_cast<char>((i * 13) & 0xFF));
        SetField(m_request.szBinFile, m_folder.Write("報告書.bin", strAttachment));
        m_profile.strCaFile = Env("CA_FILE");
    }

    static std::string Env(const char* pszKey) { return s_pServers->Env(pszKey); }
    static std::string Localhost(const char* pszPortKey) { return "localhost:" + Env(pszPortKey); }

    int Send()
    {
        CMailSender mailSender(m_platform, MailOptions{.profile = m_profile});
        const SendOutcome outcome = mailSender.Deliver(m_sender, m_request, true);
        m_strDetail = outcome.strDetail;
        return SendResultOf(outcome);
    }
    std::string m_strDetail; // the last send's failure detail

    // The one delivered message decodes to what was sent.
    void ExpectDelivered()
    {
        ExpectedMessage expected;
        expected.strSubject = Utf8(m_request.szTitle);
        expected.strFromName = Utf8(m_sender.szName);
        expected.strFromAddr = "taro@example.jp";
        expected.strToName = Utf8(m_request.szName);
        expected.strToAddr = "hanako@example.jp";
        expected.strBodyFile =
            m_folder.Write("expected.txt", Utf8("鈴木花子様\r\n資料を添付します。\r\n"));
        expected.strAttachment = ToOsPath(m_request.szBinFile);
        expected.strAttachmentName = Utf8("報告書.bin");
        std::string strOutput;
        EXPECT_EQ(CheckDeliveredMessage(*s_pServers, expected, strOutput), 0) << strOutput;
    }

    static CRealServers* s_pServers;
    static std::string s_strSkip;
    CTempFolder m_folder;
    CScriptedPlatform m_platform;
    SenderInf m_sender;
    SendRequest m_request;
    DeliveryProfile m_profile;
};

CRealServers* TlsInterop::s_pServers = nullptr;
std::string TlsInterop::s_strSkip;

TEST_F(TlsInterop, SubmissionWithStartTlsAndAuthPlain)
{
    m_profile.smtp = SmtpSecurity::starttls;
    m_profile.auth = Authentication::smtpAuth;
    SetField(m_sender.szSmtpServer, Localhost("SUBMISSION_PORT"));
    ASSERT_GT(Send(), 0);
    ExpectDelivered();
    EXPECT_EQ(s_pServers->DeliveredUsers(), "tarvell\n") << "the envelope's authenticated user";
    EXPECT_NE(s_pServers->PostfixLog().find("sasl_method=PLAIN, sasl_username=tarvell"),
              std::string::npos);
}

TEST_F(TlsInterop, ImplicitTlsWithAuthLogin)
{
    m_profile.smtp = SmtpSecurity::tls;
    m_profile.auth = Authentication::smtpAuth;
    SetField(m_sender.szSmtpServer, Localhost("SMTPS_PORT"));
    ASSERT_GT(Send(), 0);
    ExpectDelivered();
    EXPECT_EQ(s_pServers->DeliveredUsers(), "tarvell\n");
    EXPECT_NE(s_pServers->PostfixLog().find("sasl_method=LOGIN, sasl_username=tarvell"),
              std::string::npos);
}

// POP before SMTP with the POP3 log-in over POP3S, then over STLS; SMTP stays classic.
TEST_F(TlsInterop, PopOverTlsBeforeSmtp)
{
    const std::pair<PopSecurity, const char*> modes[] = {{PopSecurity::tls, "POP3S_PORT"},
                                                         {PopSecurity::stls, "POP3_PORT"}};
    for (const auto& [security, pszPort] : modes)
    {
        SCOPED_TRACE(PopSecurityName(security));
        s_pServers->ClearOutbox();
        m_profile.pop = security;
        SetField(m_sender.szPop3Server, Localhost(pszPort));
        const std::size_t nLogins = CountOf(s_pServers->DovecotLog(), "Login: user=<tarvell>");
        ASSERT_GT(Send(), 0);
        ExpectDelivered();
        const std::string strLog = s_pServers->DovecotLog();
        EXPECT_EQ(CountOf(strLog, "Login: user=<tarvell>"), nLogins + 1);
        EXPECT_NE(strLog.rfind(", TLS"), std::string::npos);
    }
}

struct TlsFailureCase
{
    const char* pszName;
    const char* pszSmtpPortKey;
    bool bByAddress; // the server as 127.0.0.1, which the certificate does not name
    const char* pszCaKey;
    const char* pszPassword; // nullptr: the right one
    SendCode code;
};

class TlsInteropFailure : public TlsInterop, public ::testing::WithParamInterface<TlsFailureCase>
{
};

TEST_P(TlsInteropFailure, FailsAndNothingIsDelivered)
{
    const TlsFailureCase& row = GetParam();
    m_profile.smtp = SmtpSecurity::starttls;
    m_profile.auth = Authentication::smtpAuth;
    m_profile.strCaFile = Env(row.pszCaKey);
    SetField(m_sender.szSmtpServer,
             (row.bByAddress ? "127.0.0.1:" : "localhost:") + Env(row.pszSmtpPortKey));
    if (row.pszPassword != nullptr)
        SetField(m_sender.szPassword, row.pszPassword);
    const auto disconnects = [] {
        return CountOf(s_pServers->PostfixLog(), "postfix-tarvell/smtpd[");
    };
    const std::size_t nPlainLinesBefore = disconnects();

    EXPECT_EQ(Send(), Code(row.code));
    if (row.code == SendCode::CertUntrusted) // OpenSSL's reason, not the 220 to STARTTLS
    {
        EXPECT_EQ(m_strDetail, "unable to get local issuer certificate");
    }

    ::usleep(500 * 1000);
    std::string strOutput;
    EXPECT_NE(RunShell("ls " + ShellQuote(Env("OUTBOX")) + "/msg.*.eml", strOutput), 0)
        << "delivered: " << strOutput;
    if (std::string(row.pszSmtpPortKey) == "SMTP_PORT")
    {
        // The plain server saw EHLO and QUIT only: no AUTH, no MAIL FROM in clear.
        for (int i = 0; i < 40 && disconnects() == nPlainLinesBefore; ++i)
            ::usleep(50 * 1000);
        const std::string strLog = s_pServers->PostfixLog();
        const std::size_t nLast = strLog.rfind("disconnect from");
        ASSERT_NE(nLast, std::string::npos);
        const std::string strLine = strLog.substr(nLast, strLog.find('\n', nLast) - nLast);
        EXPECT_NE(strLine.find("ehlo=1"), std::string::npos) << strLine;
        EXPECT_EQ(strLine.find("mail="), std::string::npos) << strLine;
        EXPECT_EQ(strLine.find("auth="), std::string::npos) << strLine;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Real, TlsInteropFailure,
    ::testing::Values(TlsFailureCase{"WrongPassword", "SUBMISSION_PORT", false, "CA_FILE",
                                     "wrong-secret", SendCode::LoginRefused},
                      TlsFailureCase{"CaFileWithoutTheSigningCa", "SUBMISSION_PORT", false,
                                     "OTHER_CA_FILE", nullptr, SendCode::CertUntrusted},
                      TlsFailureCase{"HostNotNamedByTheCertificate", "SUBMISSION_PORT", true,
                                     "CA_FILE", nullptr, SendCode::CertWrongHost},
                      TlsFailureCase{"StartTlsNotOffered", "SMTP_PORT", false, "CA_FILE", nullptr,
                                     SendCode::TlsNotOffered}),
    [](const ::testing::TestParamInfo<TlsFailureCase>& paramInfo) {
        return paramInfo.param.pszName;
    });
