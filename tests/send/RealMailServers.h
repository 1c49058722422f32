// RealMailServers.h - private Postfix (SMTP) and Dovecot (POP3) on loopback for one test, started
// and stopped through scripts/mailservers, and a shell runner for the checks that decode what
// they delivered.
#pragma once
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>

inline const std::string MAIL_SCRIPTS = std::string(TARVELL_SOURCE_DIR) + "/scripts/mailservers/";

// Runs a shell command; returns its exit status, standard output and error in strOutput.
inline int RunShell(const std::string& strCommand, std::string& strOutput)
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

// The servers of one test, stopped and removed when it ends.
class CRealServers
{
public:
    bool Start(std::string& strReason)
    {
        std::string strOutput;
        if (RunShell("sh " + MAIL_SCRIPTS + "start.sh", strOutput) != 0)
        {
            strReason = strOutput;
            return false;
        }
        std::istringstream lines(strOutput);
        for (std::string strLine; std::getline(lines, strLine);)
        {
            if (!strLine.empty())
                m_strWork = strLine;   // the work folder is the last line
        }
        std::ifstream env(m_strWork + "/env");
        for (std::string strLine; std::getline(env, strLine);)
        {
            const std::size_t nEq = strLine.find('=');
            if (nEq != std::string::npos)
                m_env[strLine.substr(0, nEq)] = strLine.substr(nEq + 1);
        }
        strReason = "no environment from start.sh: " + strOutput;
        return m_env.count("OUTBOX") != 0;
    }
    ~CRealServers()
    {
        std::string strOutput;
        if (!m_strWork.empty())
            RunShell("sh " + MAIL_SCRIPTS + "stop.sh '" + m_strWork + "'", strOutput);
    }
    std::string Env(const std::string& strKey) { return m_env[strKey]; }
    std::string Work() const { return m_strWork; }

private:
    std::string m_strWork;
    std::map<std::string, std::string> m_env;
};
