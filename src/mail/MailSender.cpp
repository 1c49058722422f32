// MailSender.cpp - one send attempt: POP before SMTP (RFC 1939 USER/PASS), the SMTP envelope
// (RFC 5321) and the message after DATA.
#include "mail/MailSender.h"

#include "app/FileSystem.h"
#include "app/LocalTime.h"
#include "app/Sjis.h"
#include "mail/BufferedSocket.h"
#include "mail/LineTransport.h"
#include "mail/MessageComposer.h"
#include "mail/ModernSession.h"
#include "mail/PosixSocket.h"
#include "mail/SendResult.h"
#include "mail/ServerAddress.h"
#include "mail/TlsSocket.h"

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

bool IsPop3Ok(const char* pszReply)
{
    return std::strncmp(pszReply, "+OK", 3) == 0;
}

void ReplaceAll(std::string& strText, std::string_view placeholder, const std::string& strValue)
{
    std::size_t nAt = FindSjis(strText, placeholder);
    while (nAt != std::string::npos)
    {
        strText.replace(nAt, placeholder.size(), strValue);
        nAt = FindSjis(strText, placeholder, nAt + strValue.size());
    }
}
} // namespace

CMailSender::CMailSender(IPlatform& platform)
    : m_platform(platform), m_pOwnSockets(std::make_unique<CPosixSocketFactory>()),
      m_sockets(*m_pOwnSockets)
{
}

CMailSender::CMailSender(IPlatform& platform, ISocketFactory& sockets)
    : m_platform(platform), m_sockets(sockets)
{
}

CMailSender::~CMailSender() = default;

int CMailSender::SendPlainMail(const SenderInf& sender, const SendRequest& request)
{
    return Send(sender, request, false);
}

int CMailSender::SendMultipartMail(const SenderInf& sender, const SendRequest& request)
{
    return Send(sender, request, true);
}

int CMailSender::Send(const SenderInf& sender, const SendRequest& request, bool bMultipart)
{
    m_timeSend = m_platform.Now();
    if (!m_profile.strRefused.empty())
        return SEND_PROFILE_REFUSED; // a typo must never silently drop encryption

    // Everything that goes into a command or a header line is checked before any connection.
    const std::string strSenderName = FieldText(sender.szName);
    const std::string strSenderAddress = FieldText(sender.szMailAddress);
    const std::string strToName = FieldText(request.szName);
    const std::string strToAddress = FieldText(request.szAddress);
    const std::string strTitle = FieldText(request.szTitle);
    const std::string strBinFile = FieldText(request.szBinFile);
    for (const std::string* pValue :
         {&strSenderName, &strSenderAddress, &strToName, &strToAddress, &strTitle})
        if (HasLineBreak(*pValue))
            return SEND_VALUE_HAS_LINE_BREAK;
    if (bMultipart && HasLineBreak(AttachmentFileName(strBinFile.c_str())))
        return SEND_VALUE_HAS_LINE_BREAK;
    std::array<std::string, 3> addressLines;
    if (!FormatAddressHeaderLines(strSenderName.c_str(), strSenderAddress.c_str(),
                                  strToName.c_str(), strToAddress.c_str(), strTitle.c_str(),
                                  addressLines))
        return SEND_HEADER_TOO_LONG;
    std::array<std::string, 2> attachmentLines;
    if (bMultipart && !FormatAttachmentHeaderLines(strBinFile.c_str(), attachmentLines))
        return SEND_HEADER_TOO_LONG;

    CFileReader bodyFile(FieldText(request.szTextFile)); // before any connection

    const std::unique_ptr<ISocket> pSocket = m_sockets.CreateSocket();
    // Plain until a handshake: the specified session passes through it unchanged.
    CTlsSocket tls(*pSocket,
                   m_profile.strCaFile.empty() ? std::string() : ToOsPath(m_profile.strCaFile));
    CBufferedSocket socket(tls);
    const bool bSpecified = !m_profile.IsModernSmtp() && m_profile.pop == PopSecurity::none &&
                            m_profile.auth == Authentication::popBeforeSmtp;
    if (bSpecified)
    {
        if (OpenSession(socket, sender) == 0)
            return SEND_NO_SESSION;
        int nResult;
        const int nEnvelope =
            SendEnvelope(socket, strSenderAddress.c_str(), strToAddress.c_str(), strTitle.c_str(),
                         strSenderName.c_str(), strToName.c_str());
        if (nEnvelope != ENVELOPE_OK)
            nResult = -nEnvelope;
        else
            nResult = WriteMessage(socket, bodyFile, request, strSenderAddress.c_str(), bMultipart,
                                   nullptr);
        SendQuit(socket);
        return nResult;
    }

    CModernSession session(socket, tls, m_profile);
    const int nOpen = OpenModern(socket, session, sender, strSenderAddress, strToAddress);
    if (nOpen != ENVELOPE_OK)
        return nOpen;
    int nResult;
    const int nLines = SendAddressLines(socket, strSenderAddress.c_str(), strToAddress.c_str(),
                                        strTitle.c_str(), strSenderName.c_str(), strToName.c_str());
    if (nLines != ENVELOPE_OK)
        nResult = -nLines;
    else
        nResult = WriteMessage(socket, bodyFile, request, strSenderAddress.c_str(), bMultipart,
                               m_profile.IsModernSmtp() ? &session : nullptr);
    if (m_profile.IsModernSmtp())
        session.SendQuit();
    else
        SendQuit(socket);
    return nResult;
}

int CMailSender::OpenModern(CBufferedSocket& socket, CModernSession& session,
                            const SenderInf& sender, const std::string& strFrom,
                            const std::string& strTo)
{
    const std::string strLogin = FieldText(sender.szLoginName);
    const std::string strPassword = FieldText(sender.szPassword);
    if (HasLineBreak(strLogin) || HasLineBreak(strPassword))
        return SEND_NO_SESSION;
    if (m_profile.auth == Authentication::popBeforeSmtp)
    {
        if (m_profile.pop != PopSecurity::none)
        {
            const int nLogin =
                session.PopLogin(FieldText(sender.szPop3Server), strLogin, strPassword);
            if (nLogin != MODERN_OK)
                return nLogin;
        }
        else
        {
            if (strLogin.size() > kMaxLoginValue || strPassword.size() > kMaxLoginValue ||
                OpenPop(socket, FieldText(sender.szPop3Server).c_str()) != OPEN_OK ||
                PopLogin(socket, strLogin.c_str(), strPassword.c_str()) != POPLOGIN_OK)
                return SEND_NO_SESSION;
            SendQuit(socket);
        }
    }
    if (!m_profile.IsModernSmtp())
    {
        // Authentication=none without TLS: the specified SMTP session, without POP3.
        if (OpenSmtp(socket, FieldText(sender.szSmtpServer).c_str()) != OPEN_OK)
            return SEND_NO_SESSION;
        const int nEnvelope = SendEnvelopeCommands(socket, strFrom.c_str(), strTo.c_str());
        if (nEnvelope != ENVELOPE_OK)
        {
            SendQuit(socket);
            return -nEnvelope;
        }
        return ENVELOPE_OK;
    }
    const int nOpen = session.OpenSmtp(FieldText(sender.szSmtpServer), strLogin, strPassword);
    if (nOpen != MODERN_OK)
        return nOpen;
    const int nEnvelope = session.SendEnvelope(strFrom, strTo);
    if (nEnvelope != ENVELOPE_OK)
    {
        session.SendQuit();
        return -nEnvelope;
    }
    return ENVELOPE_OK;
}

int CMailSender::WriteMessage(CBufferedSocket& socket, CFileReader& bodyFile,
                              const SendRequest& request, const char* pszSenderAddress,
                              bool bMultipart, CModernSession* pSession)
{
    CSocketTextSink sink(socket);
    // Date and Message-ID follow the specified header lines; a plain message also gets the
    // MIME-Version its Content-Type needs.
    const std::string strMoreHeaders =
        DateHeaderLine(m_timeSend) + MessageIdHeaderLine(m_timeSend, pszSenderAddress);
    int nTotal = 0;
    if (bMultipart)
    {
        nTotal += sink.Write(kMimeVersion);
        nTotal += sink.Write(kMultipartContentType);
        nTotal += sink.Write(kMultipartEncoding);
        nTotal = AddCount(nTotal, sink.Write(strMoreHeaders.c_str()));
        nTotal += sink.Write(kFirstDelimiter);
    }
    ReadBody(bodyFile, request);
    nTotal =
        AddCount(nTotal, WriteTextPart(sink, m_strBody,
                                       bMultipart ? std::string() : strMoreHeaders + kMimeVersion));
    if (bMultipart)
    {
        nTotal = AddCount(nTotal, sink.Write(kSecondDelimiter));
        nTotal = AddCount(nTotal, WriteAttachmentPart(sink, FieldText(request.szBinFile).c_str()));
        nTotal = AddCount(nTotal, sink.Write(kCloseDelimiter));
    }
    socket.EndData();
    const int nLast = sink.Write(kEndOfData);
    if (!socket.FinishData())
        return SEND_DATA_LOST;
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
        return SEND_DATA_REJECTED;
    return bMultipart ? AddCount(nTotal, nLast) : nLast;
}

int CMailSender::OpenSession(CBufferedSocket& socket, const SenderInf& sender)
{
    const std::string strLogin = FieldText(sender.szLoginName);
    const std::string strPassword = FieldText(sender.szPassword);
    if (strLogin.size() > kMaxLoginValue || strPassword.size() > kMaxLoginValue ||
        HasLineBreak(strLogin) || HasLineBreak(strPassword))
        return 0;
    if (OpenPop(socket, FieldText(sender.szPop3Server).c_str()) != OPEN_OK)
        return 0;
    // On a failed log-in the POP3 connection is left open; the operation's end closes it.
    if (PopLogin(socket, strLogin.c_str(), strPassword.c_str()) != POPLOGIN_OK)
        return 0;
    SendQuit(socket);
    return OpenSmtp(socket, FieldText(sender.szSmtpServer).c_str()) == OPEN_OK ? 1 : 0;
}

namespace
{
// Creates and connects the socket and reads the greeting into pszReply. OPEN_* codes; the socket is
// closed on failure.
int OpenServer(CBufferedSocket& socket, IPlatform& platform, const char* pszHost, int nDefaultPort,
               char* pszReply, int nReplySize)
{
    if (!socket.Create())
        return OPEN_NO_SOCKET;
    std::string strHost;
    int nPort = 0;
    if (!SplitServerField(pszHost, nDefaultPort, strHost, nPort) || !socket.Connect(strHost, nPort))
    {
        socket.Close();
        return OPEN_NOT_CONNECTED;
    }
    if (ReadReply(socket, platform, pszReply, nReplySize, '\n') < 3)
    {
        socket.Close();
        return OPEN_NO_GREETING;
    }
    return OPEN_OK;
}
} // namespace

int CMailSender::OpenPop(CBufferedSocket& socket, const char* pszHost)
{
    char szReply[kGreetingBufferSize];
    const int nCode = OpenServer(socket, m_platform, pszHost, DefaultPop3Port(m_profile), szReply,
                                 sizeof(szReply));
    if (nCode != OPEN_OK)
        return nCode;
    if (!IsPop3Ok(szReply))
    {
        socket.Close();
        return OPEN_BAD_GREETING;
    }
    return OPEN_OK;
}

int CMailSender::OpenSmtp(CBufferedSocket& socket, const char* pszHost)
{
    char szReply[kGreetingBufferSize];
    const int nCode = OpenServer(socket, m_platform, pszHost, DefaultSmtpPort(m_profile), szReply,
                                 sizeof(szReply));
    if (nCode != OPEN_OK)
        return nCode;
    if (ReplyCode(szReply) != 220)
    {
        socket.Close();
        return OPEN_BAD_GREETING;
    }
    return OPEN_OK;
}

int CMailSender::PopLogin(CBufferedSocket& socket, const char* pszName, const char* pszPassword)
{
    struct Step
    {
        const char* pszFormat;
        const char* pszValue;
        int nNotSent;
    };
    const Step steps[] = {
        {"USER %s\n", pszName, POPLOGIN_USER_NOT_SENT},
        {"PASS %s\n", pszPassword, POPLOGIN_PASS_NOT_SENT},
    };
    for (const Step& step : steps)
    {
        char szLine[kLoginBufferSize];
        const int nLength = std::snprintf(szLine, sizeof(szLine), step.pszFormat, step.pszValue);
        if (nLength < 0 || nLength >= kLoginBufferSize || socket.Send(szLine, nLength) != nLength)
            return step.nNotSent;
        if (ReadReply(socket, m_platform, szLine, sizeof(szLine), '\n') < 3)
            return step.nNotSent + 1;
        if (!IsPop3Ok(szLine))
            return step.nNotSent + 2;
    }
    return POPLOGIN_OK;
}

void CMailSender::SendQuit(CBufferedSocket& socket)
{
    char szBuffer[kQuitBufferSize] = "QUIT\n";
    const int nLength = static_cast<int>(std::strlen(szBuffer));
    if (socket.Send(szBuffer, nLength) == nLength)
        ReadReply(socket, m_platform, szBuffer, sizeof(szBuffer), '\n');
    socket.Close();
}

int CMailSender::SendEnvelope(CBufferedSocket& socket, const char* pszSenderAddress,
                              const char* pszToAddress, const char* pszTitle,
                              const char* pszSenderName, const char* pszToName)
{
    const int nCode = SendEnvelopeCommands(socket, pszSenderAddress, pszToAddress);
    if (nCode != ENVELOPE_OK)
        return nCode;
    return SendAddressLines(socket, pszSenderAddress, pszToAddress, pszTitle, pszSenderName,
                            pszToName);
}

int CMailSender::SendEnvelopeCommands(CBufferedSocket& socket, const char* pszSenderAddress,
                                      const char* pszToAddress)
{
    struct Command
    {
        const char* pszFormat;
        const char* pszValue;
        int nExpected;
        int nBase;
    };
    const Command commands[] = {
        {"HELO merrows\n", nullptr, 250, 0},
        {"MAIL FROM:<%s>\n", pszSenderAddress, 250, ENVELOPE_MAIL_FROM},
        {"RCPT TO:<%s>\n", pszToAddress, 250, ENVELOPE_RCPT_TO},
        {"DATA\n", nullptr, 354, ENVELOPE_DATA},
    };
    for (const Command& command : commands)
    {
        char szLine[kCommandBufferSize];
        const int nLength =
            command.pszValue != nullptr
                ? std::snprintf(szLine, sizeof(szLine), command.pszFormat, command.pszValue)
                : std::snprintf(szLine, sizeof(szLine), "%s", command.pszFormat);
        if (nLength < 0 || nLength >= kCommandBufferSize)
            return command.nBase + SENDCMD_NOT_SENT;
        const int nCode = SendCommand(socket, m_platform, szLine, command.nExpected);
        if (nCode != SENDCMD_OK)
            return command.nBase + nCode;
    }
    socket.BeginData();
    return ENVELOPE_OK;
}

int CMailSender::SendAddressLines(CBufferedSocket& socket, const char* pszSenderAddress,
                                  const char* pszToAddress, const char* pszTitle,
                                  const char* pszSenderName, const char* pszToName)
{
    std::array<std::string, 3> lines;
    const int lineCodes[] = {ENVELOPE_FROM_LINE, ENVELOPE_TO_LINE, ENVELOPE_SUBJECT_LINE};
    if (!FormatAddressHeaderLines(pszSenderName, pszSenderAddress, pszToName, pszToAddress,
                                  pszTitle, lines))
        return ENVELOPE_FROM_LINE;
    for (std::size_t i = 0; i < lines.size(); ++i)
    {
        const int nLength = static_cast<int>(lines[i].size());
        // Flushed line by line, so a header line that does not get out is told apart.
        if (socket.Send(lines[i].c_str(), nLength) != nLength || !socket.Flush())
            return lineCodes[i];
    }
    return ENVELOPE_OK;
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
    ReplaceAll(strText, "%NAME", FieldText(request.szName));
    ReplaceAll(strText, "%MAILADDRESS", FieldText(request.szAddress));
    ReplaceAll(strText, "%DATE", FormatLocalTime(m_timeSend, "%Y年%m月%d日"));
    ReplaceAll(strText, "%TIME", FormatLocalTime(m_timeSend, "%H時%M分"));
    m_strBody = std::move(strText);
}
