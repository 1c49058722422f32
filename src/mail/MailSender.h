// MailSender.h - one send attempt: POP before SMTP, the envelope, and the composed message.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"
#include "mail/DeliveryProfile.h"
#include "mail/SendResult.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

class CBufferedSocket;
class CMailSession;
class IAccessTokenSource;
class ISocketFactory;
class ITraceSink;

// The body is held whole in memory, composed and kept: a file chosen by mistake (an image, an
// archive) must fail the attempt rather than exhaust the memory.
constexpr std::int64_t MAX_BODY_FILE_SIZE = std::int64_t(256) * 1024 * 1024;

// The body file's text up to its first NUL; a file that cannot be read or is bigger than
// MAX_BODY_FILE_SIZE raises CFileException.
std::string ReadBodyText(const std::string& strPath);

// How the body file's bytes become the body: the user's answers to the questions before sending,
// and the text those questions read, so that every attempt of a command sends what was checked.
struct SendAnswers
{
    // Read as UTF-8 and converted, and, after the placeholders, every character ISO-2022-JP
    // cannot carry replaced (see WireCharacters.h).
    bool bBodyFromUtf8 = false;
    bool bReplaceUnsafe = false;
    // The mails go out in UTF-8, where every character survives: the user's choice, or set before
    // the questions when the profile sends UTF-8 (nothing is then asked about such characters).
    bool bSendUtf8 = false;
    // The body file's text as the questions read it (ReadBodyText); null: each attempt reads the
    // file itself.
    std::shared_ptr<const std::string> pBodyText = nullptr;
};

// How one send attempt delivers and composes, fixed for its whole run.
struct MailOptions
{
    // How to deliver (Delivery.ini); the defaults give POP before SMTP in clear text on 110 and
    // 25. A profile with a refused value fails every send with SendCode::ProfileRefused before
    // any connection.
    DeliveryProfile profile;
    // Authentication=oauth2: where the access token comes from (nullptr: every send fails).
    IAccessTokenSource* pAccessTokens = nullptr;
    // The conversation of every send operation is reported here (nullptr: nowhere).
    ITraceSink* pTrace = nullptr;
    // How the body is made, and in what charset the mail goes out: bSendUtf8 sends UTF-8
    // whatever the profile's charset.
    SendAnswers answers = SendAnswers();
    // The random part of the multipart boundary; empty: a new one for every message (tests fix
    // it).
    std::string strBoundaryTail = std::string();
};

class CMailSender
{
  public:
    // Uses real TCP sockets; server fields may carry ":PORT" or "[IPv6]:PORT".
    explicit CMailSender(IPlatform& platform, MailOptions options = {});
    // Uses the given sockets (the send procedure's, which a cancel request ends, and tests').
    CMailSender(IPlatform& platform, ISocketFactory& sockets, MailOptions options = {});
    virtual ~CMailSender();

    // Result above 0: the whole message was written to the SMTP server and it answered the end of
    // the data with 250. Else a SendCode: 0 the POP3 connection, POP3 log-in or SMTP connection
    // failed; negative the failed SMTP step. A body or attachment file that cannot be opened
    // raises CFileException.
    int SendPlainMail(const SenderInf& sender, const SendRequest& request);
    int SendMultipartMail(const SenderInf& sender, const SendRequest& request);
    // The same send operation (multipart when bMultipart), with the step that failed, what the
    // server said, the send time and the composed body.
    SendOutcome Deliver(const SenderInf& sender, const SendRequest& request, bool bMultipart);

    // The body text with %NAME, %MAILADDRESS, %DATE and %TIME filled in, in that order.
    static std::string FillPlaceholders(std::string strText, const SendRequest& request,
                                        std::time_t timeSend);
    // The same over UTF-8 text, the values converted to UTF-8.
    static std::string FillPlaceholdersUtf8(std::string strText, const SendRequest& request,
                                            std::time_t timeSend);

  private:
    // The send operation itself; Deliver adds the send time and the body to its outcome.
    SendOutcome Transmit(const SenderInf& sender, const SendRequest& request, bool bMultipart);

    // Everything checked before any connection: the profile, then what goes into a command or a
    // header line (the sender's and the request's fields and the attachment's name). Formats the
    // From, To and Subject lines into addressLines. The failure (ProfileRefused,
    // ValueHasLineBreak, HeaderTooLong), or nothing.
    std::optional<SendOutcome> CheckBeforeConnecting(
        const SenderInf& sender, const SendRequest& request, bool bMultipart,
        std::array<std::string, 3>& addressLines) const;
    // The From, To and Subject lines after DATA, each flushed by itself: -1 when all went out,
    // else the index of the line that did not.
    static int SendAddressLines(CBufferedSocket& socket, const std::array<std::string, 3>& lines);
    // Makes m_strBody from the body file's text: %NAME, %MAILADDRESS, %DATE and %TIME filled in,
    // in that order, from the request and m_timeSend. Also fills m_strWireBody, the text the text
    // part carries: CP932 for ISO-2022-JP, UTF-8 for UTF-8, where a UTF-8 body file keeps every
    // character it holds.
    void ComposeBody(std::string strText, const SendRequest& request);
    // The charset of the message: UTF-8 when the profile or the user's answer asks for it.
    MailCharset WireCharset() const;
    // Writes the message after the envelope: sent with its count, or failed with DataLost,
    // AttachmentShortened or DataRejected.
    // Date and Message-ID (and for a plain message MIME-Version) follow the From, To and Subject
    // header lines. The session reads the server's reply to the end of the data.
    SendOutcome WriteMessage(CBufferedSocket& socket, const std::string& strBodyText,
                             const SenderInf& sender, const SendRequest& request, bool bMultipart,
                             CMailSession& session);

    IPlatform& m_platform;
    std::unique_ptr<ISocketFactory> m_pOwnSockets;
    ISocketFactory& m_sockets;
    const MailOptions m_options;
    std::string m_strBody;      // the body after placeholder substitution; empty until read
    std::string m_strWireBody;  // the body as the text part carries it
    std::time_t m_timeSend = 0; // set at the start of every send operation
};
