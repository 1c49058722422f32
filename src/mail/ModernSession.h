// ModernSession.h - the delivery steps a profile with TLS or SMTP AUTH needs: POP3 over TLS
// (STLS, RFC 2595, or implicit TLS on 995), and the SMTP session of a submission server: EHLO with
// the host name (RFC 5321), commands ended with CR LF, replies read whole, STARTTLS (RFC 3207)
// followed by a new EHLO, and AUTH (RFC 4954). A profile that asks for TLS never sends a log-in,
// AUTH or MAIL FROM in clear: a server that does not offer or refuses TLS fails the attempt.
#pragma once
#include "app/Records.h"
#include "mail/BufferedSocket.h"
#include "mail/DeliveryProfile.h"
#include "mail/MailSession.h"
#include "mail/ReplyReader.h"
#include "mail/SendResult.h"
#include "mail/SmtpAuth.h"
#include "mail/TlsSocket.h"

#include <string>
#include <vector>

// The user an OAuth 2.0 log-in names: the log-in name, else the mail address.
std::string OAuthUser(const SenderInf& sender);

class CModernSession : public IMailSession
{
  public:
    // socket sends and receives through tls, which wraps the connection.
    CModernSession(CBufferedSocket& socket, CTlsSocket& tls, const DeliveryProfile& profile);

    // Each step returns false on failure, with Failure() telling the send result, the step and
    // the server's last reply line; the connection is then closed (after QUIT where the server
    // can still take one).

    // POP3 log-in over TLS for POP before SMTP to the sender's POP3 server with its log-in name
    // and password: connect (995 by default for implicit TLS, else 110), TLS, USER and PASS (with
    // oauth2: AUTH XOAUTH2 and the access token), QUIT, close.
    bool PopLogin(const SenderInf& sender) override;

    // Opens the sender's SMTP server as the profile asks: connect (default port of the profile),
    // TLS, greeting, EHLO, STARTTLS and EHLO again, then AUTH with the sender's log-in name and
    // password when the profile uses SMTP AUTH.
    bool OpenSmtp(const SenderInf& sender) override;

    // MAIL FROM (the sender's address), RCPT TO (the request's address) and DATA with CR LF; then
    // the message data phase starts.
    bool Envelope(const SenderInf& sender, const SendRequest& request) override;

    const SendOutcome& Failure() const override { return m_failure; }

    // The OAuth 2.0 access token PopLogin and OpenSmtp send with Authentication=oauth2.
    void SetAccessToken(std::string strToken) { m_strAccessToken = std::move(strToken); }

    // Reads the reply to the end of the message data: true when it is 250.
    bool MessageAccepted() override;

    // "QUIT" CR LF, one reply read and ignored, the connection closed.
    void Quit() override;

    // The host name sent with EHLO: this machine's name when it is a valid domain, else
    // "localhost".
    static std::string EhloName();

  private:
    // Sends strLine and CR LF with one send and reads the reply: its code, -1 when the line did not
    // go out whole, -2 when no whole reply came. m_reply holds the reply's lines. A line that
    // carries a secret passes nShown, the bytes the trace may show (the command word).
    int Command(const std::string& strLine, int nShown = -1);
    // Opens a connection to the server field (its port, else nDefaultPort); strHost is the host
    // as typed, for the certificate checks of the TLS handshake.
    bool Connect(const std::string& strServer, int nDefaultPort, std::string& strHost);
    // EHLO, filling m_capabilities.
    bool Ehlo();
    bool StartTls(const std::string& strHost);
    bool Authenticate(const std::string& strName, const std::string& strPassword);
    // OAUTHBEARER or XOAUTH2 with the access token; a refusal's error challenge is answered
    // with an empty line and its status shown with the final reply.
    bool AuthenticateOAuth(const std::string& strUser);
    // POP3 AUTH XOAUTH2 with the access token (RFC 5034, initial response); a refusal's error
    // continuation ("+ " base64 JSON) is answered with an empty line.
    bool PopAuthenticateOAuth(const std::string& strUser);
    // Sends strLine and CR LF with one send; false when it did not go out whole. nShown as for
    // Command.
    bool SendLine(const std::string& strLine, int nShown = -1);
    // The TLS handshake with strHost; on failure, fails with the handshake's failure and its
    // reason as the detail.
    bool Handshake(const std::string& strHost);
    // The send result of the last failed handshake.
    SendCode HandshakeFailure() const;
    // The step under way, which a failure is recorded with.
    void Begin(SendStep step) { m_step = step; }
    // Records the failure of the step under way with the server's last reply line, ends the
    // connection (with QUIT when bQuit) and gives false.
    bool Fail(SendCode code, bool bQuit = false);

    CBufferedSocket& m_socket;
    CTlsSocket& m_tls;
    const DeliveryProfile& m_profile;
    CReplyReader m_reader;
    std::vector<std::string> m_reply;
    SmtpCapabilities m_capabilities;
    std::string m_strLastLine; // the server's last reply line, for the failure's detail
    SendStep m_step = SendStep::None;
    SendOutcome m_failure;
    std::string m_strAccessToken;
};
