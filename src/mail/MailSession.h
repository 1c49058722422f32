// MailSession.h - the protocol steps of one send operation behind one interface: the classic
// POP before SMTP session with LF-ended commands (ClassicSession.h) and the session of a profile
// with TLS or SMTP AUTH (ModernSession.h), and CMailSession, which picks them from the profile.
// Every step that fails records its step, its send result and the server's words (or the
// socket's error) in Failure() at the point where it fails.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"
#include "mail/DeliveryProfile.h"
#include "mail/SendResult.h"

#include <memory>
#include <string>

class CBufferedSocket;
class CTlsSocket;
class IAccessTokenSource;

class IMailSession
{
  public:
    virtual ~IMailSession() = default;

    // The POP3 log-in of POP before SMTP with the sender's log-in name and password, the POP3
    // connection ended after it.
    virtual bool PopLogin(const SenderInf& sender) = 0;
    // Opens the sender's SMTP server and readies it for the envelope.
    virtual bool OpenSmtp(const SenderInf& sender) = 0;
    // The envelope up to DATA; the message data phase then starts. On failure the connection
    // is ended (with QUIT where the server can still take one).
    virtual bool Envelope(const SenderInf& sender, const SendRequest& request) = 0;
    // Reads the reply to the end of the message data: true when it is 250.
    virtual bool MessageAccepted() = 0;
    // QUIT, one reply read and ignored, the connection closed.
    virtual void Quit() = 0;
    // The last failure: its send result, step and detail.
    virtual const SendOutcome& Failure() const = 0;
};

class CClassicSession;
class CModernSession;

// The session one send operation uses on its connection, as its profile asks: the log-in before
// SMTP (POP3 in clear as always, POP3 over TLS, or none; an OAuth 2.0 access token fetched
// before any connection), then the classic or the modern SMTP session.
class CMailSession
{
  public:
    CMailSession(CBufferedSocket& socket, CTlsSocket& tls, IPlatform& platform,
                 const DeliveryProfile& profile, IAccessTokenSource* pAccessTokens);
    ~CMailSession();
    CMailSession(const CMailSession&) = delete;
    CMailSession& operator=(const CMailSession&) = delete;

    // The log-in before SMTP, then the SMTP server opened and ready for the envelope.
    bool Open(const SenderInf& sender);
    bool Envelope(const SenderInf& sender, const SendRequest& request);
    bool MessageAccepted() { return m_smtp.MessageAccepted(); }
    void Quit() { m_smtp.Quit(); }
    const SendOutcome& Failure() const;

  private:
    bool Fail(SendCode code, SendStep step, std::string strDetail);

    const DeliveryProfile& m_profile;
    IAccessTokenSource* m_pAccessTokens;
    std::unique_ptr<CClassicSession> m_pClassic;
    std::unique_ptr<CModernSession> m_pModern;
    IMailSession& m_smtp;
    const IMailSession* m_pFailed = nullptr; // the part that failed; nullptr: m_failure
    SendOutcome m_failure;
};
