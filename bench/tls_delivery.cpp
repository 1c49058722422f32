// tls_delivery.cpp - timings through the real servers' TLS mode, for tls_delivery.sh:
//   tarvell_bench_tls_delivery ENV_FILE ATTACHMENT
// prints the wall time of single 587 + STARTTLS + AUTH sends of a small mail, then the time and
// attachment MB/s of one mail carrying ATTACHMENT plain (port 25 style, no log-in), over STARTTLS
// with AUTH and over implicit TLS with AUTH.
#include "mail/MailSender.h"

#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "support/ScriptedPlatform.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <string>

namespace
{
double Now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::map<std::string, std::string> ReadEnv(const char* pszPath)
{
    std::map<std::string, std::string> env;
    std::ifstream file(pszPath);
    for (std::string strLine; std::getline(file, strLine);)
        if (const std::size_t nEq = strLine.find('='); nEq != std::string::npos)
            env[strLine.substr(0, nEq)] = strLine.substr(nEq + 1);
    return env;
}

// One send; returns the wall seconds, or a negative number when it failed.
double TimedSend(const DeliveryProfile& profile, const SenderInf& sender,
                 const SendRequest& request, bool bMultipart)
{
    CScriptedPlatform platform;
    CMailSender mail(platform, MailOptions{.profile = profile});
    const double dStart = Now();
    const SendOutcome outcome = mail.Deliver(sender, request, bMultipart);
    const double dWall = Now() - dStart;
    if (!outcome.Sent())
    {
        std::fprintf(stderr, "send failed: %d (%s) %s\n", outcome.nResult,
                     SendStepName(outcome.step), outcome.strDetail.c_str());
        return -1;
    }
    return dWall;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s ENV_FILE ATTACHMENT\n", argv[0]);
        return 2;
    }
    std::map<std::string, std::string> env = ReadEnv(argv[1]);
    SenderInf sender;
    SetField(sender.szName, "Taro");
    SetField(sender.szMailAddress, "taro@example.jp");
    SetField(sender.szLoginName, env["MAIL_USER"]);
    SetField(sender.szPassword, env["MAIL_PASS"]);
    SendRequest request;
    SetField(request.szName, "Hanako");
    SetField(request.szAddress, "hanako@example.jp");
    SetField(request.szTitle, "bench");
    const std::string strBody = env["OUTBOX"] + "/../bench-body.txt";
    std::ofstream(strBody) << "Hello\r\n";
    SetField(request.szTextFile, strBody);
    SetField(request.szBinFile, argv[2]);

    DeliveryProfile submission;
    submission.smtp = SmtpSecurity::starttls;
    submission.auth = Authentication::smtpAuth;
    submission.strCaFile = env["CA_FILE"];
    SetField(sender.szSmtpServer, "localhost:" + env["SUBMISSION_PORT"]);
    for (int i = 0; i < 5; ++i)
        std::printf("small mail, 587 + STARTTLS + AUTH PLAIN: %.1f ms\n",
                    TimedSend(submission, sender, request, false) * 1000);

    const double dMb = static_cast<double>(GetFileSizeOrZero(argv[2])) / (1024.0 * 1024.0);
    DeliveryProfile plain;
    plain.auth = Authentication::none;
    DeliveryProfile implicit = submission;
    implicit.smtp = SmtpSecurity::tls;
    const struct
    {
        const char* pszName;
        const DeliveryProfile* pProfile;
        const char* pszPortKey;
    } runs[] = {{"plain (no TLS, no log-in)", &plain, "SMTP_PORT"},
                {"587 + STARTTLS + AUTH", &submission, "SUBMISSION_PORT"},
                {"465 implicit TLS + AUTH", &implicit, "SMTPS_PORT"}};
    for (const auto& run : runs)
    {
        SetField(sender.szSmtpServer, "localhost:" + env[run.pszPortKey]);
        const double dWall = TimedSend(*run.pProfile, sender, request, true);
        std::printf("%.0f MiB attachment, %s: %.2f s, %.1f MiB/s\n", dMb, run.pszName, dWall,
                    dWall > 0 ? dMb / dWall : 0.0);
        std::fflush(stdout);
    }
    return 0;
}
