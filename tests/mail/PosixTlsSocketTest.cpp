// PosixTlsSocketTest.cpp - TLS servers that real servers will not imitate: a certificate that names
// its host only in the CN, and servers that answer with TLS records of their own instead of a
// greeting. Each send must end, by the time-out at the latest, without a greeting accepted.
#include "mail/MailSender.h"

#include "app/Sjis.h"
#include "mail/SendResult.h"
#include "support/ScriptedPlatform.h"
#include "support/TempFolder.h"
#include "support/TlsFakeServer.h"

#include <gtest/gtest.h>

#include <ctime>

namespace
{
struct TlsServerCase
{
    const char* pszName;
    TlsFakeMode mode;
    bool bSanCertificate;
    SendCode code;
};

void PrintTo(const TlsServerCase& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

double SecondsSince(const timespec& start)
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec - start.tv_sec) + double(now.tv_nsec - start.tv_nsec) / 1e9;
}
} // namespace

class TlsFakeServerSend : public ::testing::TestWithParam<TlsServerCase>
{
};

TEST_P(TlsFakeServerSend, FailsWithinTheTimeOut)
{
    const TlsServerCase& row = GetParam();
    CTempFolder folder;
    CTlsFakeServer server(row.mode, row.bSanCertificate, folder.Dir());
    SenderInf sender;
    SetField(sender.szMailAddress, "taro@example.jp");
    SetField(sender.szSmtpServer, "localhost:" + std::to_string(server.Port()));
    SendRequest request;
    SetField(request.szName, "hanako");
    SetField(request.szAddress, "hanako@example.jp");
    SetField(request.szTitle, "t");
    SetField(request.szTextFile, folder.Write("body.txt", "Hello\r\n"));
    DeliveryProfile profile;
    profile.smtp = SmtpSecurity::tls;
    profile.auth = Authentication::none;
    profile.strCaFile = server.CaFile();
    CScriptedPlatform platform;
    platform.m_bAllowMessages = true;
    CMailSender mail(platform, MailOptions{.profile = profile});

    timespec start{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    const SendOutcome outcome = mail.Deliver(sender, request, false);
    EXPECT_EQ(SendResultOf(outcome), Code(row.code)) << outcome.strDetail;
    // The tests run with a 5-second time-out; a server's own records must not extend it.
    EXPECT_LT(SecondsSince(start), 5.0 + 3.0);
    if (row.mode != TlsFakeMode::greet)
    {
        EXPECT_GE(server.Floods(), 1);
    }
    EXPECT_FALSE(server.Renegotiated());
}

INSTANTIATE_TEST_SUITE_P(Loopback, TlsFakeServerSend,
                         ::testing::Values(
                             // A host named only by the subject's CN is not taken as named.
                             TlsServerCase{"CnOnlyCertificateIsRefused", TlsFakeMode::greet, false,
                                           SendCode::CertWrongHost},
                             TlsServerCase{"KeyUpdateFloodEndsAtTheTimeOut",
                                           TlsFakeMode::keyUpdateFlood, true, SendCode::NoSession},
                             TlsServerCase{"RenegotiationIsRefused",
                                           TlsFakeMode::renegotiationFlood, true,
                                           SendCode::NoSession}),
                         [](const ::testing::TestParamInfo<TlsServerCase>& paramInfo) {
                             return paramInfo.param.pszName;
                         });
