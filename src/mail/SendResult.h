// SendResult.h - what a send operation ended with. SendOutcome is recorded where the operation
// ends: the step, the way it failed (SendCode) and what the server said. The integer result the
// callers and other programs rely on is worked out from it by SendResultOf: a count above 0 when
// the whole message was written and the server took it, SendCode::NoSession (0) when the POP3
// connection, the POP3 log-in or the SMTP connection failed, and a negative SendCode for the step
// that failed after that.
#pragma once
#include <ctime>
#include <string>
#include <type_traits>

// The number behind a result of any family.
template <typename E> constexpr int Code(E value)
{
    static_assert(std::is_enum_v<E>);
    return static_cast<int>(value);
}

// SendCommand of the line transport.
enum class CommandResult : int
{
    Ok = 0,
    NotSent = 1,   // the line did not go out whole
    NoReply = 2,   // the reply was shorter than 3 bytes
    WrongCode = 3, // the reply's number differs from the expected code
};

// Where a send operation stopped. The order is the order of the steps.
enum class SendStep : int
{
    None,         // it did not stop: the mail was sent
    Check,        // a value was refused before any connection
    PopConnect,   // creating the socket or connecting to the POP3 server
    PopGreeting,  // the POP3 server's greeting
    PopUser,      // USER
    PopPass,      // PASS
    SmtpConnect,  // creating the socket or connecting to the SMTP server
    SmtpGreeting, // the SMTP server's greeting
    Helo,
    MailFrom,
    RcptTo,
    Data,
    HeaderLines, // the From, To and Subject lines
    MessageData, // the message after the header lines
    EndOfData,   // the server's reply to the end of the data
    PopTls,      // STLS or the TLS handshake with the POP3 server
    SmtpTls,     // STARTTLS or the TLS handshake with the SMTP server
    SmtpAuth,    // SMTP AUTH
    PopAuth,     // POP3 AUTH (XOAUTH2 with an OAuth 2.0 access token)
};

// Results of SendPlainMail and SendMultipartMail that are not a count.
enum class SendCode : int
{
    NoSession = 0,
    HeloNotSent = -1,
    HeloNoReply = -2,
    HeloRefused = -3,
    MailFromNotSent = -11,
    MailFromNoReply = -12,
    MailFromRefused = -13,
    RcptToNotSent = -21,
    RcptToNoReply = -22,
    RcptToRefused = -23,
    DataNotSent = -31,
    DataNoReply = -32,
    DataRefused = -33,
    FromLineNotSent = -41,
    ToLineNotSent = -42,
    SubjectLineNotSent = -43,
    // A sender or recipient address, a name, the title or the attachment's file name holds CR or
    // LF: refused before any connection, so nothing can be injected into a command or a header.
    ValueHasLineBreak = -50,
    // A header line (From, To, Subject: 1023 bytes once encoded; the attachment's Content-Type and
    // Content-Disposition: 255 bytes) does not fit its buffer: refused before any connection,
    // never cut on the wire.
    HeaderTooLong = -51,
    // The message data after the header lines could not be written whole (the connection failed
    // while it was being sent).
    DataLost = -52,
    // The message was written whole but the server did not take it: its reply to the end of the
    // data was missing or not 250 (a message refused as too large or as spam is not a sent mail).
    DataRejected = -53,
    // The attachment ended before the size it had when it was opened (it was changed while it was
    // sent): the message is not ended, and the connection is closed so that the server discards
    // it.
    AttachmentShortened = -54,

    // The delivery profile (Delivery.ini) and its modern session: TLS and SMTP AUTH. Each is its
    // own failure the user can act on; none lets a log-in, AUTH or MAIL FROM go out in clear when
    // the profile asks for TLS.
    // A Delivery.ini value is not one of the listed ones: refused before any connection.
    ProfileRefused = -60,
    // The server does not offer STARTTLS.
    TlsNotOffered = -61,
    // The server refused to start TLS after STARTTLS or STLS.
    TlsRefused = -62,
    // The server sent bytes after its reply to STARTTLS or STLS, before the handshake.
    TlsInjection = -63,
    // No TLS session: the handshake failed (not TLS 1.2 or later, closed, timed out).
    TlsFailed = -64,
    // The server's certificate does not lead to a trusted CA (system store and CaFile).
    CertUntrusted = -65,
    // The certificate is trusted but does not name the server as typed.
    CertWrongHost = -66,
    // The CaFile of Delivery.ini could not be read as PEM certificates.
    CaFileUnreadable = -67,
    // SMTP AUTH is asked for but the server offers none of PLAIN, LOGIN and CRAM-MD5.
    AuthNotOffered = -68,
    // The server refused the log-in name or password (SMTP AUTH, or POP3 over TLS).
    LoginRefused = -69,
    // The connection ended or failed during the log-in, before the server answered.
    LoginNoReply = -70,
    // Authentication=oauth2: no access token could be had (not signed in, the refresh token
    // refused, the authorization server or the token program failed); nothing was sent.
    OAuthTokenFailed = -71,
    // The server refused the access token (expired, revoked, or without the SMTP scope).
    OAuthRefused = -72,
};

// The send result of an envelope command that did not go through: the command's base (HELO 0,
// MAIL FROM 10, RCPT TO 20, DATA 30) plus the command's result, negated.
constexpr SendCode EnvelopeCode(SendStep step, CommandResult result)
{
    const int nBase = step == SendStep::MailFrom ? 10
                      : step == SendStep::RcptTo ? 20
                      : step == SendStep::Data   ? 30
                                                 : 0;
    return static_cast<SendCode>(-(nBase + Code(result)));
}

static_assert(EnvelopeCode(SendStep::Helo, CommandResult::NotSent) == SendCode::HeloNotSent);
static_assert(EnvelopeCode(SendStep::Helo, CommandResult::WrongCode) == SendCode::HeloRefused);
static_assert(EnvelopeCode(SendStep::MailFrom, CommandResult::NoReply) ==
              SendCode::MailFromNoReply);
static_assert(EnvelopeCode(SendStep::RcptTo, CommandResult::WrongCode) == SendCode::RcptToRefused);
static_assert(EnvelopeCode(SendStep::Data, CommandResult::NotSent) == SendCode::DataNotSent);
static_assert(EnvelopeCode(SendStep::Data, CommandResult::WrongCode) == SendCode::DataRefused);

// The step's name in the detail shown to the user (CP932).
const char* SendStepName(SendStep step);

// What one send operation ended with, recorded where it ended.
struct SendOutcome
{
    SendStep step = SendStep::None;      // the step that failed
    SendCode code = SendCode::NoSession; // how it failed
    // The server's last reply line to that step (CR LF stripped), or the socket's error, or why a
    // value was refused; empty for a sent mail.
    std::string strDetail;
    // When the send operation started (used for %DATE and %TIME, the Date line and the log), and
    // the body after placeholder substitution (empty when the body was never read): what the send
    // log and the keep copy record.
    std::time_t timeSend = 0;
    std::string strBody;
    // For a sent mail, the server's reply to the end of the data ("250 2.0.0 Ok: queued as …").
    std::string strAcceptedReply;
    // For a sent mail, the bytes the result counts (above 0): the end-of-data line of a plain
    // mail, everything after the address header lines of a multipart one.
    int nWritten = 0;

    bool Sent() const { return nWritten > 0; }

    // The failure of step: code, and what the server said or why it stopped.
    static SendOutcome Failed(SendCode code, SendStep step, std::string strDetail);
};

// The result of SendPlainMail and SendMultipartMail: the count of a sent mail, else the failure's
// SendCode (0 when the POP3 connection, the POP3 log-in or the SMTP connection failed).
int SendResultOf(const SendOutcome& outcome);
