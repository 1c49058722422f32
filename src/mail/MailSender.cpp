// MailSender.cpp - one send attempt: POP before SMTP (RFC 1939 USER/PASS), the SMTP envelope
// (RFC 5321) and the message after DATA.
#include "mail/MailSender.h"

#include "app/FileSystem.h"
#include "app/LocalTime.h"
#include "app/Sjis.h"
#include "app/TextCodec.h"
#include "mail/BufferedSocket.h"
#include "mail/LineTransport.h"
#include "mail/MessageComposer.h"
#include "mail/ModernSession.h"
#include "mail/OAuthClient.h"
#include "mail/SystemSocket.h"
#include "mail/ReplyReader.h"
#include "mail/SendResult.h"
#include "mail/ServerAddress.h"
#include "mail/TlsSocket.h"
#include "mail/WireCharacters.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace
{
constexpr int kGreetingBufferSize = 256;
constexpr int kLoginBufferSize = 128;
constexpr int kQuitBufferSize = 256;
constexpr int kCommandBufferSize = 1024;
// "USER " or "PASS ", the value, LF and the NUL fill the 128-byte buffer.
constexpr std::size_t kMaxLoginValue = kLoginBufferSize - 7;

bool HasLineBreak(const std::string& strValue)
{
    return strValue.find_first_of("\r\n") != std::string::npos;
}

// Replaces every placeholder from left to right in one pass, copying into a new string so that a
// body dense in placeholders costs time linear in its size; a value that itself holds the
// placeholder is not searched again. bUtf8: the text is UTF-8, where no ASCII byte stands inside a
// character, else CP932, searched character by character.
void ReplaceAll(std::string& strText, std::string_view placeholder, const std::string& strValue,
                bool bUtf8 = false)
{
    const auto find = [&](std::size_t nFrom) {
        return bUtf8 ? strText.find(placeholder, nFrom) : FindSjis(strText, placeholder, nFrom);
    };
    std::size_t nAt = find(0);
    if (nAt == std::string::npos)
        return;
    std::string strOut;
    strOut.reserve(strText.size());
    std::size_t nCopied = 0;
    while (nAt != std::string::npos)
    {
        strOut.append(strText, nCopied, nAt - nCopied).append(strValue);
        nCopied = nAt + placeholder.size();
        nAt = find(nCopied);
    }
    strOut.append(strText, nCopied, std::string::npos);
    strText = std::move(strOut);
}
} // namespace

CMailSender::CMailSender(IPlatform& platform, MailOptions options)
    : m_platform(platform), m_pOwnSockets(std::make_unique<CSystemSocketFactory>()),
      m_sockets(*m_pOwnSockets), m_options(std::move(options))
{
}

CMailSender::CMailSender(IPlatform& platform, ISocketFactory& sockets, MailOptions options)
    : m_platform(platform), m_sockets(sockets), m_options(std::move(options))
{
}

CMailSender::~CMailSender() = default;

int CMailSender::SendPlainMail(const SenderInf& sender, const SendRequest& request)
{
    return Deliver(sender, request, false).nResult;
}

int CMailSender::SendMultipartMail(const SenderInf& sender, const SendRequest& request)
{
    return Deliver(sender, request, true).nResult;
}

namespace
{
SendOutcome Failure(SendCode code, SendStep step, std::string strDetail)
{
    SendOutcome outcome;
    outcome.nResult = Code(code);
    outcome.step = step;
    outcome.strDetail = std::move(strDetail);
    return outcome;
}

SendStep EnvelopeStepOf(EnvelopeResult result)
{
    const int nCode = Code(result);
    if (nCode >= Code(EnvelopeResult::FromLineNotSent))
        return SendStep::HeaderLines;
    if (nCode >= Code(EnvelopeStep::Data))
        return SendStep::Data;
    if (nCode >= Code(EnvelopeStep::RcptTo))
        return SendStep::RcptTo;
    if (nCode >= Code(EnvelopeStep::MailFrom))
        return SendStep::MailFrom;
    return SendStep::Helo;
}
} // namespace

SendOutcome CMailSender::Deliver(const SenderInf& sender, const SendRequest& request,
                                 bool bMultipart)
{
    SendOutcome outcome = Transmit(sender, request, bMultipart);
    outcome.timeSend = m_timeSend;
    outcome.strBody = std::move(m_strBody);
    return outcome;
}

SendOutcome CMailSender::Transmit(const SenderInf& sender, const SendRequest& request,
                                  bool bMultipart)
{
    m_timeSend = m_platform.Now();
    const DeliveryProfile& profile = m_options.profile;
    if (!profile.strRefused.empty()) // a typo must never silently drop encryption
        return Failure(SendCode::ProfileRefused, SendStep::Check,
                       "Delivery.ini: " + profile.strRefused);

    // Everything that goes into a command or a header line is checked before any connection.
    const std::string strBinFile = FieldText(request.szBinFile);
    constexpr const char* kLineBreak = "改行文字を含む項目があります";
    constexpr const char* kTooLong = "ヘッダー行が長すぎます";
    for (const std::string& strValue :
         {FieldText(sender.szName), FieldText(sender.szMailAddress), FieldText(request.szName),
          FieldText(request.szAddress), FieldText(request.szTitle)})
        if (HasLineBreak(strValue))
            return Failure(SendCode::ValueHasLineBreak, SendStep::Check, kLineBreak);
    if (bMultipart && HasLineBreak(AttachmentFileName(strBinFile.c_str())))
        return Failure(SendCode::ValueHasLineBreak, SendStep::Check, kLineBreak);
    std::array<std::string, 3> addressLines;
    if (!FormatAddressHeaderLines(sender, request, addressLines, WireCharset()))
        return Failure(SendCode::HeaderTooLong, SendStep::Check, kTooLong);
    std::array<std::string, 2> attachmentLines;
    if (bMultipart &&
        !FormatAttachmentHeaderLines(strBinFile.c_str(), attachmentLines, WireCharset()))
        return Failure(SendCode::HeaderTooLong, SendStep::Check, kTooLong);

    CFileReader bodyFile(FieldText(request.szTextFile)); // before any connection

    const std::unique_ptr<ISocket> pSocket = m_sockets.CreateSocket();
    // Plain until a handshake: the specified session passes through it unchanged.
    CTlsSocket tls(*pSocket,
                   profile.strCaFile.empty() ? std::string() : ToOsPath(profile.strCaFile));
    CBufferedSocket socket(tls);
    socket.SetTrace(m_options.pTrace);
    const bool bSpecified = !profile.IsModernSmtp() && profile.pop == PopSecurity::none &&
                            profile.auth == Authentication::popBeforeSmtp;
    CModernSession session(socket, tls, profile);
    CModernSession* pSession = profile.IsModernSmtp() ? &session : nullptr;
    SendOutcome outcome;
    if (bSpecified)
    {
        const SendStep sessionStep = OpenSessionStep(socket, sender);
        if (sessionStep != SendStep::None && !socket.Used())
            return Failure(SendCode::NoSession, sessionStep,
                           "ログイン名かパスワードが長すぎるか改行を含みます");
        if (sessionStep != SendStep::None)
            return Failure(SendCode::NoSession, sessionStep, socket.FailureDetail());
        const EnvelopeResult commands = SendEnvelopeCommands(socket, sender, request);
        if (commands != EnvelopeResult::Ok)
        {
            outcome =
                Failure(SendCodeOf(commands), EnvelopeStepOf(commands), socket.FailureDetail());
            SendQuit(socket);
            return outcome;
        }
    }
    else if (!OpenModern(socket, session, sender, request, outcome))
        return outcome;

    const EnvelopeResult lines = SendAddressLines(socket, sender, request);
    if (lines != EnvelopeResult::Ok)
        outcome = Failure(SendCodeOf(lines), EnvelopeStepOf(lines), socket.FailureDetail());
    else
    {
        outcome.nResult = WriteMessage(socket, bodyFile, sender, request, bMultipart, pSession);
        if (outcome.nResult == Code(SendCode::DataLost))
            outcome = Failure(SendCode::DataLost, SendStep::MessageData, socket.FailureDetail());
        else if (outcome.nResult == Code(SendCode::DataRejected))
            outcome = Failure(SendCode::DataRejected, SendStep::EndOfData, socket.FailureDetail());
        else if (outcome.nResult == Code(SendCode::AttachmentShortened))
            outcome = Failure(SendCode::AttachmentShortened, SendStep::MessageData,
                              "添付ファイルが送信中に短くなりました");
        else if (outcome.Sent())
            outcome.strAcceptedReply = socket.FailureDetail(); // the last line: the 250
    }
    if (outcome.nResult == Code(SendCode::AttachmentShortened))
        socket.Close(); // without the end of the data and QUIT: the server drops the message
    else if (pSession != nullptr)
        pSession->SendQuit();
    else
        SendQuit(socket);
    return outcome;
}

bool CMailSender::OpenModern(CBufferedSocket& socket, CModernSession& session,
                             const SenderInf& sender, const SendRequest& request,
                             SendOutcome& outcome)
{
    const DeliveryProfile& profile = m_options.profile;
    const std::string strLogin = FieldText(sender.szLoginName);
    const std::string strPassword = FieldText(sender.szPassword);
    if (HasLineBreak(strLogin) || HasLineBreak(strPassword))
    {
        outcome = Failure(SendCode::NoSession, SendStep::Check,
                          "ログイン名かパスワードが長すぎるか改行を含みます");
        return false;
    }
    if (profile.auth == Authentication::oauth2)
    {
        // Before any connection: a refused sign-in must not get as far as the server.
        std::string strToken;
        std::string strError = "OAuth 2.0 のアクセストークンがありません";
        if (m_options.pAccessTokens == nullptr ||
            !m_options.pAccessTokens->AccessToken(strToken, strError))
        {
            outcome = Failure(SendCode::OAuthTokenFailed, SendStep::SmtpAuth, strError);
            return false;
        }
        session.SetAccessToken(strToken);
    }
    if ((profile.auth == Authentication::popBeforeSmtp && profile.pop != PopSecurity::none) ||
        UsesOAuthPop(profile))
    {
        if (!session.PopLogin(sender))
        {
            outcome = session.Failure();
            return false;
        }
    }
    if (!profile.IsModernSmtp())
    {
        // POP3 over TLS (done above) or no log-in at all, then the specified SMTP session.
        const OpenResult smtp = OpenSmtp(socket, FieldText(sender.szSmtpServer).c_str());
        if (smtp != OpenResult::Ok)
        {
            outcome = Failure(SendCode::NoSession,
                              smtp == OpenResult::NoSocket || smtp == OpenResult::NotConnected
                                  ? SendStep::SmtpConnect
                                  : SendStep::SmtpGreeting,
                              socket.FailureDetail());
            return false;
        }
        const EnvelopeResult commands = SendEnvelopeCommands(socket, sender, request);
        if (commands == EnvelopeResult::Ok)
            return true;
        outcome = Failure(SendCodeOf(commands), EnvelopeStepOf(commands), socket.FailureDetail());
        SendQuit(socket);
        return false;
    }
    if (profile.auth == Authentication::popBeforeSmtp && profile.pop == PopSecurity::none)
    {
        // The POP3 log-in in clear as specified, then the modern SMTP session.
        const std::string strPop = FieldText(sender.szPop3Server);
        const OpenResult pop =
            strLogin.size() > kMaxLoginValue || strPassword.size() > kMaxLoginValue
                ? OpenResult::NotConnected
                : OpenPop(socket, strPop.c_str());
        const LoginResult login = pop == OpenResult::Ok
                                      ? PopLogin(socket, strLogin.c_str(), strPassword.c_str())
                                      : LoginResult::UserNotSent;
        if (pop != OpenResult::Ok || login != LoginResult::Ok)
        {
            outcome = Failure(SendCode::NoSession,
                              pop != OpenResult::Ok ? SendStep::PopConnect : SendStep::PopPass,
                              socket.FailureDetail());
            socket.Close();
            return false;
        }
        SendQuit(socket);
    }
    if (!session.OpenSmtp(sender) || !session.SendEnvelope(sender, request))
    {
        outcome = session.Failure();
        return false;
    }
    return true;
}

int CMailSender::WriteMessage(CBufferedSocket& socket, CFileReader& bodyFile,
                              const SenderInf& sender, const SendRequest& request, bool bMultipart,
                              CModernSession* pSession)
{
    CSocketTextSink sink(socket);
    const MailCharset charset = WireCharset();
    const std::string strMoreHeaders =
        DateHeaderLine(m_timeSend) +
        MessageIdHeaderLine(m_timeSend, FieldText(sender.szMailAddress).c_str());
    ReadBody(bodyFile, request);
    int nTotal = 0;
    std::string strBoundary = MakeBoundary(m_options.strBoundaryTail);
    // A body that quotes the boundary (an earlier mail) would end its part there: draw again.
    while (bMultipart && m_options.strBoundaryTail.empty() &&
           m_strWireBody.find(strBoundary) != std::string::npos)
        strBoundary = MakeBoundary();
    if (bMultipart)
    {
        nTotal += sink.Write(kMimeVersion);
        nTotal += sink.Write(MultipartContentType(strBoundary).c_str());
        nTotal += sink.Write(kMultipartEncoding);
        nTotal = AddCount(nTotal, sink.Write(strMoreHeaders.c_str()));
        nTotal += sink.Write(Delimiter(strBoundary).c_str());
    }
    // The end of the data begins with CR LF: a plain body's own last line end is left to it.
    nTotal =
        AddCount(nTotal, WriteTextPart(sink, m_strWireBody,
                                       bMultipart ? std::string() : strMoreHeaders + kMimeVersion,
                                       charset, !bMultipart));
    if (bMultipart)
    {
        nTotal = AddCount(nTotal, sink.Write(Delimiter(strBoundary).c_str()));
        bool bShortened = false;
        nTotal = AddCount(nTotal, WriteAttachmentPart(sink, FieldText(request.szBinFile).c_str(),
                                                      &bShortened, charset));
        if (bShortened)
            return Code(SendCode::AttachmentShortened);
        nTotal = AddCount(nTotal, sink.Write(CloseDelimiter(strBoundary).c_str()));
    }
    socket.EndData();
    const int nLast = sink.Write(kEndOfData);
    if (!socket.FinishData())
        return Code(SendCode::DataLost);
    // Only the server's reply to the end of the data says that it took the message: a refusal
    // (too large, spam, no space) must not count as a sent mail. QUIT then reads its own reply.
    bool bAccepted;
    if (pSession != nullptr)
        bAccepted = pSession->MessageAccepted();
    else
    {
        char szReply[kCommandBufferSize];
        bAccepted = ReadReply(socket, m_platform, szReply, sizeof(szReply), '\n') >= 3 &&
                    ReplyCode(szReply) == 250;
    }
    if (!bAccepted)
        return Code(SendCode::DataRejected);
    return bMultipart ? AddCount(nTotal, nLast) : nLast;
}

SendStep CMailSender::OpenSessionStep(CBufferedSocket& socket, const SenderInf& sender)
{
    const std::string strLogin = FieldText(sender.szLoginName);
    const std::string strPassword = FieldText(sender.szPassword);
    if (strLogin.size() > kMaxLoginValue || HasLineBreak(strLogin))
        return SendStep::PopUser;
    if (strPassword.size() > kMaxLoginValue || HasLineBreak(strPassword))
        return SendStep::PopPass;
    const OpenResult pop = OpenPop(socket, FieldText(sender.szPop3Server).c_str());
    if (pop != OpenResult::Ok)
        return pop == OpenResult::NoSocket || pop == OpenResult::NotConnected
                   ? SendStep::PopConnect
                   : SendStep::PopGreeting;
    // On a failed log-in the POP3 connection is left open; the operation's end closes it.
    const LoginResult login = PopLogin(socket, strLogin.c_str(), strPassword.c_str());
    if (login != LoginResult::Ok)
        return Code(login) > Code(LoginStep::Pass) ? SendStep::PopPass : SendStep::PopUser;
    SendQuit(socket);
    const OpenResult smtp = OpenSmtp(socket, FieldText(sender.szSmtpServer).c_str());
    if (smtp != OpenResult::Ok)
        return smtp == OpenResult::NoSocket || smtp == OpenResult::NotConnected
                   ? SendStep::SmtpConnect
                   : SendStep::SmtpGreeting;
    return SendStep::None;
}

namespace
{
// Creates and connects the socket and reads the greeting into pszReply; the socket is closed on
// failure.
OpenResult OpenServer(CBufferedSocket& socket, IPlatform& platform, const char* pszHost,
                      int nDefaultPort, char* pszReply, int nReplySize)
{
    if (!socket.Create())
        return OpenResult::NoSocket;
    std::string strHost;
    int nPort = 0;
    if (!SplitServerField(pszHost, nDefaultPort, strHost, nPort) || !socket.Connect(strHost, nPort))
    {
        socket.Close();
        return OpenResult::NotConnected;
    }
    if (ReadReply(socket, platform, pszReply, nReplySize, '\n') < 3)
    {
        socket.Close();
        return OpenResult::NoGreeting;
    }
    return OpenResult::Ok;
}
} // namespace

OpenResult CMailSender::OpenPop(CBufferedSocket& socket, const char* pszHost)
{
    char szReply[kGreetingBufferSize];
    const OpenResult code = OpenServer(
        socket, m_platform, pszHost, DefaultPop3Port(m_options.profile), szReply, sizeof(szReply));
    if (code != OpenResult::Ok)
        return code;
    if (!IsPop3Ok(szReply))
    {
        socket.Close();
        return OpenResult::BadGreeting;
    }
    return OpenResult::Ok;
}

OpenResult CMailSender::OpenSmtp(CBufferedSocket& socket, const char* pszHost)
{
    char szReply[kGreetingBufferSize];
    const OpenResult code = OpenServer(
        socket, m_platform, pszHost, DefaultSmtpPort(m_options.profile), szReply, sizeof(szReply));
    if (code != OpenResult::Ok)
        return code;
    if (ReplyCode(szReply) != 220)
    {
        socket.Close();
        return OpenResult::BadGreeting;
    }
    return OpenResult::Ok;
}

LoginResult CMailSender::PopLogin(CBufferedSocket& socket, const char* pszName,
                                  const char* pszPassword)
{
    struct Step
    {
        const char* pszCommand; // the line is the command, the value and LF
        const char* pszValue;
        LoginStep step;
        bool bSecret; // the trace shows only the command word
    };
    const Step steps[] = {
        {"USER ", pszName, LoginStep::User, false},
        {"PASS ", pszPassword, LoginStep::Pass, true},
    };
    for (const Step& step : steps)
    {
        char szLine[kLoginBufferSize];
        const int nLength =
            std::snprintf(szLine, sizeof(szLine), "%s%s\n", step.pszCommand, step.pszValue);
        if (nLength < 0 || nLength >= kLoginBufferSize ||
            (step.bSecret ? socket.SendSecret(szLine, nLength, 5) : socket.Send(szLine, nLength)) !=
                nLength)
            return LoginFailure(step.step, CommandResult::NotSent);
        if (ReadReply(socket, m_platform, szLine, sizeof(szLine), '\n') < 3)
            return LoginFailure(step.step, CommandResult::NoReply);
        if (!IsPop3Ok(szLine))
            return LoginFailure(step.step, CommandResult::WrongCode);
    }
    return LoginResult::Ok;
}

void CMailSender::SendQuit(CBufferedSocket& socket)
{
    char szBuffer[kQuitBufferSize] = "QUIT\n";
    const int nLength = static_cast<int>(std::strlen(szBuffer));
    if (socket.Send(szBuffer, nLength) == nLength)
        ReadReply(socket, m_platform, szBuffer, sizeof(szBuffer), '\n');
    socket.Close();
}

EnvelopeResult CMailSender::SendEnvelopeCommands(CBufferedSocket& socket, const SenderInf& sender,
                                                 const SendRequest& request)
{
    const std::string strSenderAddress = FieldText(sender.szMailAddress);
    const std::string strToAddress = FieldText(request.szAddress);
    struct Command
    {
        const char* pszBefore; // the line is pszBefore, the value and pszAfter
        const char* pszValue;
        const char* pszAfter;
        int nExpected;
        EnvelopeStep step;
    };
    const Command commands[] = {
        {"HELO merrows\n", "", "", 250, EnvelopeStep::Helo},
        {"MAIL FROM:<", strSenderAddress.c_str(), ">\n", 250, EnvelopeStep::MailFrom},
        {"RCPT TO:<", strToAddress.c_str(), ">\n", 250, EnvelopeStep::RcptTo},
        {"DATA\n", "", "", 354, EnvelopeStep::Data},
    };
    for (const Command& command : commands)
    {
        char szLine[kCommandBufferSize];
        const int nLength = std::snprintf(szLine, sizeof(szLine), "%s%s%s", command.pszBefore,
                                          command.pszValue, command.pszAfter);
        if (nLength < 0 || nLength >= kCommandBufferSize)
            return EnvelopeFailure(command.step, CommandResult::NotSent);
        const CommandResult result = SendCommand(socket, m_platform, szLine, command.nExpected);
        if (result != CommandResult::Ok)
            return EnvelopeFailure(command.step, result);
    }
    socket.BeginData();
    return EnvelopeResult::Ok;
}

EnvelopeResult CMailSender::SendAddressLines(CBufferedSocket& socket, const SenderInf& sender,
                                             const SendRequest& request)
{
    std::array<std::string, 3> lines;
    const EnvelopeResult lineCodes[] = {EnvelopeResult::FromLineNotSent,
                                        EnvelopeResult::ToLineNotSent,
                                        EnvelopeResult::SubjectLineNotSent};
    if (!FormatAddressHeaderLines(sender, request, lines, WireCharset()))
        return EnvelopeResult::FromLineNotSent;
    for (std::size_t i = 0; i < lines.size(); ++i)
    {
        const int nLength = static_cast<int>(lines[i].size());
        // Flushed line by line, so a header line that does not get out is told apart.
        if (socket.Send(lines[i].c_str(), nLength) != nLength || !socket.Flush())
            return lineCodes[i];
    }
    return EnvelopeResult::Ok;
}

void CMailSender::ReadBody(CFileReader& file, const SendRequest& request)
{
    const std::int64_t nLength = file.Size();
    std::string strText(static_cast<std::size_t>(nLength > 0 ? nLength : 0), '\0');
    std::size_t nRead = 0;
    while (nRead < strText.size())
    {
        const std::size_t n = file.Read(strText.data() + nRead, strText.size() - nRead);
        if (n == 0)
            break;
        nRead += n;
    }
    strText.resize(nRead);
    strText.resize(std::strlen(strText.c_str())); // the text ends at the first NUL
    const bool bUtf8Wire = WireCharset() == MailCharset::utf8;
    if (m_options.bBodyFromUtf8 && bUtf8Wire)
    {
        constexpr std::string_view kBom = "\xEF\xBB\xBF";
        m_strWireBody = FillPlaceholdersUtf8(
            strText.compare(0, kBom.size(), kBom) == 0 ? strText.substr(kBom.size()) : strText,
            request, m_timeSend);
    }
    if (m_options.bBodyFromUtf8)
        strText = Utf8ToSjisReplacing(strText, nullptr);
    strText = FillPlaceholders(std::move(strText), request, m_timeSend);
    if (m_options.bReplaceUnsafe)
        strText = ReplaceUnsafeChars(strText);
    m_strBody = std::move(strText);
    if (!bUtf8Wire)
        m_strWireBody = m_strBody;
    else if (!m_options.bBodyFromUtf8)
        m_strWireBody = ToWireUtf8(m_strBody);
}

MailCharset CMailSender::WireCharset() const
{
    return m_options.bSendUtf8 || m_options.profile.charset == MailCharset::utf8
               ? MailCharset::utf8
               : MailCharset::iso2022jp;
}

std::string CMailSender::FillPlaceholders(std::string strText, const SendRequest& request,
                                          std::time_t timeSend)
{
    ReplaceAll(strText, "%NAME", FieldText(request.szName));
    ReplaceAll(strText, "%MAILADDRESS", FieldText(request.szAddress));
    ReplaceAll(strText, "%DATE", FormatLocalTime(timeSend, "%Y年%m月%d日"));
    ReplaceAll(strText, "%TIME", FormatLocalTime(timeSend, "%H時%M分"));
    return strText;
}

std::string CMailSender::FillPlaceholdersUtf8(std::string strText, const SendRequest& request,
                                              std::time_t timeSend)
{
    ReplaceAll(strText, "%NAME", ToWireUtf8(FieldText(request.szName)), true);
    ReplaceAll(strText, "%MAILADDRESS", ToWireUtf8(FieldText(request.szAddress)), true);
    ReplaceAll(strText, "%DATE", ToWireUtf8(FormatLocalTime(timeSend, "%Y年%m月%d日")), true);
    ReplaceAll(strText, "%TIME", ToWireUtf8(FormatLocalTime(timeSend, "%H時%M分")), true);
    return strText;
}
