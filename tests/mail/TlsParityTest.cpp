// TlsParityTest.cpp - the same TLS clients' runs against the fake server on both sides: CTlsSocket
// over OpenSSL in this program, and over Schannel in tarvell_tls_probe.exe under wine64 (rows
// "Wine_...", run when TARVELL_TLS_PROBE names the program; skipped otherwise). Every refusal must
// carry the right TlsFailure, and the line sent once encrypted must never reach the server in the
// clear.
#include "mail/PosixSocket.h"

#include "support/TempFolder.h"
#include "support/TlsFakeServer.h"
#include "support/TlsProbe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <tuple>

namespace
{
// The CaFile the client is given.
enum class CaChoice
{
    server,  // the server's own certificate
    none,    // no CaFile: the system's trusted store only
    missing, // a path where there is no file
    folder,  // a folder
    notPem,  // a file without a certificate
};

struct ParityCase
{
    const char* pszName;
    TlsFakeMode mode;
    TlsFakeCertificate certificate;
    const char* pszTlsHost;
    TlsFailure failure;
    CaChoice ca = CaChoice::server;
};

const ParityCase kCases[] = {
    {"GoodHandshakeEchoesALine", TlsFakeMode::greet, {}, "localhost", TlsFailure::none},
    {"StartTlsOnAnOpenConnection", TlsFakeMode::startTls, {}, "localhost", TlsFailure::none},
    {"AddressInTheSan",
     TlsFakeMode::greet,
     {.pszSan = "IP:127.0.0.1"},
     "127.0.0.1",
     TlsFailure::none},
    {"WildcardCoversOneLabel",
     TlsFakeMode::greet,
     {.pszSan = "DNS:*.example.jp"},
     "Mail.Example.JP",
     TlsFailure::none},
    {"WildcardNotTwoLabels",
     TlsFakeMode::greet,
     {.pszSan = "DNS:*.example.jp"},
     "a.mail.example.jp",
     TlsFailure::hostName},
    {"WildcardNotTheBareDomain",
     TlsFakeMode::greet,
     {.pszSan = "DNS:*.example.jp"},
     "example.jp",
     TlsFailure::hostName},
    {"WrongHost",
     TlsFakeMode::greet,
     {.pszSan = "DNS:other.example.jp"},
     "localhost",
     TlsFailure::hostName},
    {"AddressNotTakenFromADnsName",
     TlsFakeMode::greet,
     {.pszSan = "DNS:127.0.0.1"},
     "127.0.0.1",
     TlsFailure::hostName},
    {"CnOnlyCertificate",
     TlsFakeMode::greet,
     {.pszSan = nullptr},
     "localhost",
     TlsFailure::hostName},
    {"OtherCa", TlsFakeMode::greet, {.bUntrusted = true}, "localhost", TlsFailure::certificate},
    {"ExpiredCertificate",
     TlsFakeMode::greet,
     {.bExpired = true},
     "localhost",
     TlsFailure::certificate},
    {"ServerWithoutTls", TlsFakeMode::plain, {}, "localhost", TlsFailure::handshake},
    {"SelfSignedWithoutCaFile",
     TlsFakeMode::greet,
     {},
     "localhost",
     TlsFailure::certificate,
     CaChoice::none},
    {"MissingCaFile", TlsFakeMode::greet, {}, "localhost", TlsFailure::caFile, CaChoice::missing},
    {"CaFileIsAFolder", TlsFakeMode::greet, {}, "localhost", TlsFailure::caFile, CaChoice::folder},
    {"CaFileWithoutACertificate",
     TlsFakeMode::greet,
     {},
     "localhost",
     TlsFailure::caFile,
     CaChoice::notPem},
    // The session stands, but no greeting gets through the server's requests.
    {"RenegotiationIsRefused", TlsFakeMode::renegotiationFlood, {}, "localhost", TlsFailure::none},
};

enum class Side
{
    Linux,
    Wine,
};

void PrintTo(const ParityCase& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

void PrintTo(Side side, std::ostream* pOut)
{
    *pOut << (side == Side::Linux ? "Linux" : "Wine");
}

using ParityParam = std::tuple<Side, ParityCase>;

// Runs the probe under wine64; false with the reason when it did not report.
bool RunWineProbe(const std::string& strProbe, const std::string& strArguments,
                  TlsProbeResult& result, std::string& strWhy)
{
    const std::string strCommand = std::string("WINEDEBUG=-all /usr/lib/wine/wine64 '")
                                       .append(strProbe)
                                       .append("' ")
                                       .append(strArguments)
                                       .append(" 2>/dev/null");
    std::FILE* pPipe = ::popen(strCommand.c_str(), "r");
    if (pPipe == nullptr)
    {
        strWhy = "popen failed";
        return false;
    }
    std::string strOutput;
    char buffer[512];
    while (std::fgets(buffer, sizeof(buffer), pPipe) != nullptr)
        strOutput += buffer;
    const int nStatus = ::pclose(pPipe);
    while (!strOutput.empty() && (strOutput.back() == '\n' || strOutput.back() == '\r'))
        strOutput.pop_back();
    strWhy = "exit " + std::to_string(nStatus) + ", output: " + strOutput;
    return ParseProbe(strOutput, result);
}
} // namespace

class TlsParity : public ::testing::TestWithParam<ParityParam>
{
};

TEST_P(TlsParity, RefusesOrEchoesLikeTheOtherSide)
{
    const auto& [side, row] = GetParam();
    const char* pszProbe = std::getenv("TARVELL_TLS_PROBE");
    if (side == Side::Wine && (pszProbe == nullptr || *pszProbe == 0))
        GTEST_SKIP() << "TARVELL_TLS_PROBE does not name tarvell_tls_probe.exe";
    CTempFolder folder;
    CTlsFakeServer server(row.mode, row.certificate, folder.Dir());
    const bool bStartTls = row.mode == TlsFakeMode::startTls;
    std::string strCaFile;
    switch (row.ca)
    {
    case CaChoice::server:
        strCaFile = server.CaFile();
        break;
    case CaChoice::none:
        break;
    case CaChoice::missing:
        strCaFile = folder.Path("none.pem");
        break;
    case CaChoice::folder:
        strCaFile = folder.Dir();
        break;
    case CaChoice::notPem:
        strCaFile = folder.Write("bad.pem", "not a certificate\n");
        break;
    }
    TlsProbeResult result;
    if (side == Side::Linux)
    {
        CPosixSocket socket;
        result = ProbeTls(socket, "127.0.0.1", server.Port(), row.pszTlsHost, strCaFile, bStartTls);
    }
    else
    {
        // Wine maps Z: to the Linux root.
        std::string strArguments = std::string("127.0.0.1 ")
                                       .append(std::to_string(server.Port()))
                                       .append(" ")
                                       .append(row.pszTlsHost)
                                       .append(strCaFile.empty() ? " '" : " 'Z:")
                                       .append(strCaFile)
                                       .append("'")
                                       .append(bStartTls ? " starttls" : "");
        std::string strWhy;
        ASSERT_TRUE(RunWineProbe(pszProbe, strArguments, result, strWhy)) << strWhy;
    }
    ASSERT_TRUE(result.bConnected);
    EXPECT_EQ(static_cast<int>(result.failure), static_cast<int>(row.failure)) << result.strReason;
    EXPECT_EQ(result.bEncrypted, row.failure == TlsFailure::none);
    const bool bEchoes =
        row.failure == TlsFailure::none && row.mode != TlsFakeMode::renegotiationFlood;
    EXPECT_EQ(result.strEcho, bEchoes ? kTlsProbeSecret : "");
    EXPECT_FALSE(server.Renegotiated());
    if (row.failure == TlsFailure::certificate)
    {
        EXPECT_FALSE(result.strReason.empty());
    }
    EXPECT_EQ(server.ClearText().find(kTlsProbeSecret), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    FakeServer, TlsParity,
    ::testing::Combine(::testing::Values(Side::Linux, Side::Wine), ::testing::ValuesIn(kCases)),
    [](const ::testing::TestParamInfo<ParityParam>& paramInfo) {
        return std::string(std::get<0>(paramInfo.param) == Side::Linux ? "Linux_" : "Wine_")
            .append(std::get<1>(paramInfo.param).pszName);
    });
