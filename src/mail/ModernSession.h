// ModernSession.h - the delivery steps a profile with TLS or SMTP AUTH needs: POP3 over TLS
// (STLS, RFC 2595, or implicit TLS on 995), and the SMTP session of a submission server: EHLO with
// the host name (RFC 5321), commands ended with CR LF, replies read whole, STARTTLS (RFC 3207)
// followed by a new EHLO, and AUTH (RFC 4954). A profile that asks for TLS never sends a log-in,
// AUTH or MAIL FROM in clear: a server that does not offer or refuses TLS fails the attempt.
#pragma once
#include "mail/BufferedSocket.h"
#include "mail/DeliveryProfile.h"
#include "mail/ReplyReader.h"
#include "mail/SmtpAuth.h"
#include "mail/TlsSocket.h"

#include <string>
#include <vector>

// A step went through; every other result is a send result (SEND_*, 0 or below).
constexpr int MODERN_OK = 1;

class CModernSession
{
  public:
    // socket sends and receives through tls, which wraps the connection.
    CModernSession(CBufferedSocket& socket, CTlsSocket& tls, const DeliveryProfile& profile);

    // POP3 log-in over TLS for POP before SMTP: connect (995 by default for implicit TLS, else
    // 110), TLS, USER and PASS, QUIT, close. MODERN_OK or a send result.
    int PopLogin(const std::string& strServer, const std::string& strName,
                 const std::string& strPassword);

    // Opens the SMTP server as the profile asks: connect (default port of the profile), TLS,
    // greeting, EHLO, STARTTLS and EHLO again, then AUTH when the profile uses SMTP AUTH.
    // MODERN_OK with the connection open, or a send result with it closed.
    int OpenSmtp(const std::string& strServer, const std::string& strName,
                 const std::string& strPassword);

    // MAIL FROM, RCPT TO and DATA with CR LF; then the message data phase starts. ENVELOPE_OK or
    // the code whose negative is the send result (as SendEnvelope).
    int SendEnvelope(const std::string& strFrom, const std::string& strTo);

    // Reads the reply to the end of the message data: true when it is 250.
    bool MessageAccepted();

    // "QUIT" CR LF, one reply read and ignored, the connection closed.
    void SendQuit();

    // The host name sent with EHLO: this machine's name when it is a valid domain, else
    // "localhost".
    static std::string EhloName();

  private:
    // Sends strLine and CR LF with one send and reads the reply: its code, -1 when the line did not
    // go out whole, -2 when no whole reply came. m_reply holds the reply's lines.
    int Command(const std::string& strLine);
    // EHLO; MODERN_OK with m_capabilities filled, else a send result (the HELO codes).
    int Ehlo();
    int StartTls(const std::string& strHost);
    int Authenticate(const std::string& strName, const std::string& strPassword);
    // The send result of the last failed handshake.
    int HandshakeFailure() const;
    // Closes the connection (after a failure) and gives nResult.
    int Fail(int nResult);

    CBufferedSocket& m_socket;
    CTlsSocket& m_tls;
    const DeliveryProfile& m_profile;
    CReplyReader m_reader;
    std::vector<std::string> m_reply;
    SmtpCapabilities m_capabilities;
};
