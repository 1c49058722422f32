// MailDrop.h - a fake POP3 and SMTP server pair on loopback for programs tested from outside (the
// window under Wine, driven by a shell script): every message is kept as a file, and how the SMTP
// side answers is read from a file at each connection, so the script can change it between runs.
//
//   FOLDER/ports       "POP SMTP\n", written once both listen
//   FOLDER/mail-N.eml  the N-th message taken (1, 2 ...), its data as the client sent it
//   FOLDER/mode        read at each SMTP connection: absent or empty, every command is accepted;
//                      "refuse", every RCPT TO gets 550; "refuse ADDRESS", only that recipient's;
//                      "hang", no answer at all
// The POP3 side accepts every command. Files appear whole (written aside and renamed).
#pragma once
#include "support/FakeMailServer.h"

#include <atomic>
#include <string>

class CMailDrop
{
  public:
    // strFolder: CP932, ending in "/". Listens at once and writes the ports file; throws
    // std::runtime_error or CFileException when it cannot.
    explicit CMailDrop(std::string strFolder);
    CMailDrop(const CMailDrop&) = delete;
    CMailDrop& operator=(const CMailDrop&) = delete;

    int PopPort() const { return m_pop.Port(); }
    int SmtpPort() const { return m_smtp.Port(); }
    int MessageCount() const { return m_nMessages; }

  private:
    CServerScript SmtpScript();
    ServerTurn SmtpTurn(const std::string& strMode, const std::string& strInput, bool bIsData);

    std::string m_strFolder;
    std::atomic<int> m_nMessages{0};
    // Last: their threads, which use the members above, are stopped first.
    CFakeMailServer m_pop;
    CFakeMailServer m_smtp;
};
