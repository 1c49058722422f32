// RealMailServers.cpp - private Postfix and Dovecot for one test.
#include "support/RealMailServers.h"

#include "app/Sjis.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>

namespace
{
const std::string MAIL_SCRIPTS = std::string(TARVELL_SOURCE_DIR) + "/scripts/mailservers/";
} // namespace

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

std::string ShellQuote(const std::string& strText)
{
    std::string strQuoted = "'";
    for (const char c : strText)
        strQuoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return strQuoted + "'";
}

bool CRealServers::Start(std::string& strReason, bool bTls, bool bPolicy, const std::string& strEnv)
{
    std::string strCommand = strEnv + (bTls ? "MAILSERVERS_TLS=1 " : "");
    if (bPolicy)
        strCommand.append("MAILSERVERS_POLICY=1 ");
    strCommand.append("sh ").append(ShellQuote(MAIL_SCRIPTS + "start.sh"));
    std::string strOutput;
    if (RunShell(strCommand, strOutput) != 0)
    {
        strReason = strOutput.empty() ? "start.sh failed" : strOutput;
        return false;
    }
    std::istringstream lines(strOutput);
    for (std::string strLine; std::getline(lines, strLine);)
    {
        if (!strLine.empty())
            m_strWork = strLine; // the work folder is the last line
    }
    std::ifstream env(m_strWork + "/env");
    for (std::string strLine; std::getline(env, strLine);)
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

CRealServers::~CRealServers()
{
    std::string strOutput;
    if (!m_strWork.empty())
        RunShell("sh " + ShellQuote(MAIL_SCRIPTS + "stop.sh") + " " + ShellQuote(m_strWork),
                 strOutput);
}

std::string CRealServers::Env(const std::string& strKey) const
{
    const auto it = m_env.find(strKey);
    return it == m_env.end() ? std::string() : it->second;
}

bool CRealServers::SetRecipientAccess(const std::string& strMap) const
{
    std::ofstream(Env("RECIPIENT_ACCESS"), std::ios::trunc) << strMap;
    // A reload as well: smtpd notices a changed map only when its time stamp moved on.
    const std::string strConfig = ShellQuote(m_strWork + "/pf/etc");
    std::string strCommand = "postmap -c ";
    strCommand.append(strConfig)
        .append(" hash:")
        .append(ShellQuote(Env("RECIPIENT_ACCESS")))
        .append(" && postfix -c ")
        .append(strConfig)
        .append(" reload");
    std::string strOutput;
    return RunShell(strCommand, strOutput) == 0;
}

void CRealServers::DeferOnce(const std::string& strAddress) const
{
    std::ofstream(Env("DEFER_ONCE"), std::ios::app) << strAddress << "\n";
}

void CRealServers::ClearOutbox() const
{
    std::string strOutput;
    RunShell("rm -f " + ShellQuote(Env("OUTBOX")) + "/msg.*", strOutput);
}

std::string CRealServers::DeliveredUsers() const
{
    std::string strOutput;
    RunShell("cat " + ShellQuote(Env("OUTBOX")) + "/msg.*.user", strOutput);
    return strOutput;
}

std::string CRealServers::PostfixLog() const
{
    std::ifstream file(m_strWork + "/pf/postfix.log");
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string CRealServers::DovecotLog() const
{
    std::ifstream file(m_strWork + "/dv/dovecot.log");
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void CRealServers::SetServers(SenderInf& sender) const
{
    SetField(sender.szSmtpServer, "127.0.0.1:" + Env("SMTP_PORT"));
    SetField(sender.szPop3Server, "127.0.0.1:" + Env("POP3_PORT"));
    SetField(sender.szLoginName, Env("MAIL_USER"));
    SetField(sender.szPassword, Env("MAIL_PASS"));
}

int CheckDeliveredMessage(const CRealServers& servers, const ExpectedMessage& expected,
                          std::string& strOutput)
{
    std::string strCommand =
        "python3 " + ShellQuote(MAIL_SCRIPTS + "check_message.py") + " --outbox " +
        ShellQuote(servers.Env("OUTBOX")) + " --subject " + ShellQuote(expected.strSubject) +
        " --from-name " + ShellQuote(expected.strFromName) + " --from-addr " +
        ShellQuote(expected.strFromAddr) + " --to-name " + ShellQuote(expected.strToName) +
        " --to-addr " + ShellQuote(expected.strToAddr) + " --body-file " +
        ShellQuote(expected.strBodyFile);
    if (!expected.strAttachment.empty())
        strCommand += " --attachment " + ShellQuote(expected.strAttachment) +
                      " --attachment-name " + ShellQuote(expected.strAttachmentName);
    return RunShell(strCommand, strOutput);
}
