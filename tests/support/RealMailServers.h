// RealMailServers.h - private Postfix (SMTP) and Dovecot (POP3) on loopback for one test, started
// and stopped through scripts/mailservers, and the check that decodes what they delivered with
// Python's standard email package.
#pragma once
#include "app/Records.h"

#include <map>
#include <string>

// Runs a shell command; returns its exit status, with standard output and error in strOutput.
int RunShell(const std::string& strCommand, std::string& strOutput);

// strText as one word for the shell.
std::string ShellQuote(const std::string& strText);

// The servers of one test, stopped and removed when it ends, whatever happens.
class CRealServers
{
  public:
    CRealServers() = default;
    ~CRealServers();
    CRealServers(const CRealServers&) = delete;
    CRealServers& operator=(const CRealServers&) = delete;

    // False with the reason when they cannot run on this machine (the test is then skipped).
    // bTls: the TLS mode of start.sh (submission, implicit TLS, STLS and POP3S ports).
    // bPolicy: its recipient checks (SetRecipientAccess, DeferOnce), both empty at the start.
    // strEnv: more "NAME=value " words for start.sh (the OAuth mode's), shell-quoted.
    bool Start(std::string& strReason, bool bTls = false, bool bPolicy = false,
               const std::string& strEnv = std::string());

    // Policy mode: replaces Postfix's recipient access map with strMap (access(5) lines) and
    // makes the running server use it; false when postmap or the reload failed.
    bool SetRecipientAccess(const std::string& strMap) const;
    // Policy mode: the first RCPT TO this address is refused with 451, every later one passes.
    void DeferOnce(const std::string& strAddress) const;

    // Removes every delivered message, so the next check finds only its own.
    void ClearOutbox() const;
    // The SASL user names of the delivered messages (TLS mode), one a line.
    std::string DeliveredUsers() const;
    // The servers' logs.
    std::string PostfixLog() const;
    std::string DovecotLog() const;

    // SMTP_PORT, POP3_PORT, MAIL_USER, MAIL_PASS, OUTBOX (where every delivered message lands).
    std::string Env(const std::string& strKey) const;
    const std::string& Work() const { return m_strWork; }

    // Points the sender record's servers and log-in at these servers.
    void SetServers(SenderInf& sender) const;

  private:
    std::string m_strWork;
    std::map<std::string, std::string> m_env;
};

// What a reader must see in the one delivered message; every text UTF-8.
struct ExpectedMessage
{
    std::string strSubject, strFromName, strFromAddr, strToName, strToAddr;
    std::string strBodyFile;       // a file holding the expected body text, UTF-8
    std::string strAttachment;     // the attached file's path on disk; empty for none
    std::string strAttachmentName; // the name the message gives it
};

// Runs scripts/mailservers/check_message.py on the outbox; returns its exit status (0: all
// matched) with its report in strOutput.
int CheckDeliveredMessage(const CRealServers& servers, const ExpectedMessage& expected,
                          std::string& strOutput);
