// ClassicSession.h - the POP before SMTP session as the program has always spoken it: POP3
// USER and PASS (RFC 1939) in clear on 110, then SMTP on 25 with HELO, MAIL FROM, RCPT TO and DATA
// (RFC 5321), every command ended with LF alone and every reply read as the line transport reads
// it (LineTransport.h).
#pragma once
#include "mail/MailSession.h"

class CClassicSession : public IMailSession
{
  public:
    CClassicSession(CBufferedSocket& socket, IPlatform& platform, const DeliveryProfile& profile);

    // Connects to the POP3 server (its greeting "+OK"), USER and PASS, QUIT. A log-in name or
    // password longer than 121 bytes, or holding CR or LF, fails before anything is sent. On a
    // refused log-in the POP3 connection is left open, without QUIT; the operation's end closes
    // it.
    bool PopLogin(const SenderInf& sender) override;
    // Connects to the SMTP server, its greeting 220.
    bool OpenSmtp(const SenderInf& sender) override;
    // HELO, MAIL FROM, RCPT TO (each answered 250) and DATA (354), then QUIT on failure.
    bool Envelope(const SenderInf& sender, const SendRequest& request) override;
    bool MessageAccepted() override;
    // "QUIT\n"; its reply read only when it went out whole.
    void Quit() override;
    const SendOutcome& Failure() const override { return m_failure; }

  private:
    // The step under way, which a failure is recorded with.
    void Begin(SendStep step) { m_step = step; }
    // Records the failure of the step under way with what the server or the socket said; false.
    bool Fail(SendCode code);
    bool Fail(SendCode code, std::string strDetail);
    // Connects to a server field (its port, else nDefaultPort) and reads the greeting into
    // szGreeting; closed on failure. The steps: connect, then greeting.
    bool Connect(const std::string& strServer, int nDefaultPort, SendStep greetingStep,
                 char (&szGreeting)[256]);

    CBufferedSocket& m_socket;
    IPlatform& m_platform;
    const DeliveryProfile& m_profile;
    SendStep m_step = SendStep::None;
    SendOutcome m_failure;
};
