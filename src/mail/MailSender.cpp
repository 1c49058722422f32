// MailSender.cpp - one send attempt: the checks before any connection, the session of the
// profile (MailSession.h) and the message after DATA.
#include "mail/MailSender.h"

#include "app/FileSystem.h"
#include "app/LocalTime.h"
#include "app/Sjis.h"
#include "app/TextCodec.h"
#include "mail/BufferedSocket.h"
#include "mail/MessageComposer.h"
#include "mail/MailSession.h"
#include "mail/SystemSocket.h"
#include "mail/SendResult.h"
#include "mail/TlsSocket.h"
#include "mail/WireCharacters.h"

#include <array>
#include <cstring>
#include <optional>

namespace
{
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
    return SendResultOf(Deliver(sender, request, false));
}

int CMailSender::SendMultipartMail(const SenderInf& sender, const SendRequest& request)
{
    return SendResultOf(Deliver(sender, request, true));
}

namespace
{
// The send results of the From, To and Subject lines that did not go out whole.
constexpr SendCode kAddressLineCodes[] = {SendCode::FromLineNotSent, SendCode::ToLineNotSent,
                                          SendCode::SubjectLineNotSent};
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
    std::array<std::string, 3> addressLines;
    if (std::optional<SendOutcome> refusal =
            CheckBeforeConnecting(sender, request, bMultipart, addressLines))
        return std::move(*refusal);

    // Read before any connection, unless the questions before sending read it already.
    std::shared_ptr<const std::string> pBodyText = m_options.answers.pBodyText;
    if (pBodyText == nullptr)
        pBodyText =
            std::make_shared<const std::string>(ReadBodyText(FieldText(request.szTextFile)));

    const DeliveryProfile& profile = m_options.profile;
    const std::unique_ptr<ISocket> pSocket = m_sockets.CreateSocket();
    // Plain until a handshake: the classic session passes through it unchanged.
    CTlsSocket tls(*pSocket,
                   profile.strCaFile.empty() ? std::string() : ToOsPath(profile.strCaFile));
    CBufferedSocket socket(tls);
    socket.SetTrace(m_options.pTrace);
    CMailSession session(socket, tls, m_platform, profile, m_options.pAccessTokens);
    if (!session.Open(sender) || !session.Envelope(sender, request))
        return session.Failure();

    const int nLine = SendAddressLines(socket, addressLines);
    SendOutcome outcome =
        nLine >= 0 ? SendOutcome::Failed(kAddressLineCodes[nLine], SendStep::HeaderLines,
                                         socket.FailureDetail())
                   : WriteMessage(socket, *pBodyText, sender, request, bMultipart, session);
    if (outcome.code == SendCode::AttachmentShortened)
        socket.Close(); // without the end of the data and QUIT: the server drops the message
    else
        session.Quit();
    return outcome;
}

std::optional<SendOutcome> CMailSender::CheckBeforeConnecting(
    const SenderInf& sender, const SendRequest& request, bool bMultipart,
    std::array<std::string, 3>& addressLines) const
{
    const DeliveryProfile& profile = m_options.profile;
    if (!profile.strRefused.empty()) // a typo must never silently drop encryption
        return SendOutcome::Failed(SendCode::ProfileRefused, SendStep::Check,
                                   "Delivery.ini: " + profile.strRefused);
    const std::string strBinFile = FieldText(request.szBinFile);
    constexpr const char* kTooLong = "ヘッダー行が長すぎます";
    for (const std::string& strValue :
         {FieldText(sender.szName), FieldText(sender.szMailAddress), FieldText(request.szName),
          FieldText(request.szAddress), FieldText(request.szTitle)})
        if (HasLineBreak(strValue))
            return SendOutcome::Failed(SendCode::ValueHasLineBreak, SendStep::Check,
                                       kLineBreakReason);
    if (bMultipart && HasLineBreak(AttachmentFileName(strBinFile.c_str())))
        return SendOutcome::Failed(SendCode::ValueHasLineBreak, SendStep::Check, kLineBreakReason);
    if (!FormatAddressHeaderLines(sender, request, addressLines, WireCharset()))
        return SendOutcome::Failed(SendCode::HeaderTooLong, SendStep::Check, kTooLong);
    std::array<std::string, 2> attachmentLines;
    if (bMultipart &&
        !FormatAttachmentHeaderLines(strBinFile.c_str(), attachmentLines, WireCharset()))
        return SendOutcome::Failed(SendCode::HeaderTooLong, SendStep::Check, kTooLong);
    return std::nullopt;
}

SendOutcome CMailSender::WriteMessage(CBufferedSocket& socket, const std::string& strBodyText,
                                      const SenderInf& sender, const SendRequest& request,
                                      bool bMultipart, CMailSession& session)
{
    CSocketTextSink sink(socket);
    const MailCharset charset = WireCharset();
    const std::string strMoreHeaders =
        DateHeaderLine(m_timeSend) +
        MessageIdHeaderLine(m_timeSend, FieldText(sender.szMailAddress).c_str());
    ComposeBody(strBodyText, request);
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
            return SendOutcome::Failed(SendCode::AttachmentShortened, SendStep::MessageData,
                                       "添付ファイルが送信中に短くなりました");
        nTotal = AddCount(nTotal, sink.Write(CloseDelimiter(strBoundary).c_str()));
    }
    socket.EndData();
    const int nLast = sink.Write(kEndOfData);
    if (!socket.FinishData())
        return SendOutcome::Failed(SendCode::DataLost, SendStep::MessageData,
                                   socket.FailureDetail());
    // Only the server's reply to the end of the data says that it took the message: a refusal
    // (too large, spam, no space) must not count as a sent mail. QUIT then reads its own reply.
    if (!session.MessageAccepted())
        return SendOutcome::Failed(SendCode::DataRejected, SendStep::EndOfData,
                                   socket.FailureDetail());
    SendOutcome outcome;
    outcome.step = SendStep::None;
    outcome.nWritten = bMultipart ? AddCount(nTotal, nLast) : nLast;
    outcome.strAcceptedReply = socket.FailureDetail(); // the last line: the 250
    return outcome;
}

int CMailSender::SendAddressLines(CBufferedSocket& socket, const std::array<std::string, 3>& lines)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
    {
        const int nLength = static_cast<int>(lines[i].size());
        // Flushed line by line, so a header line that does not get out is told apart.
        if (socket.Send(lines[i].c_str(), nLength) != nLength || !socket.Flush())
            return static_cast<int>(i);
    }
    return -1;
}

std::string ReadBodyText(const std::string& strPath)
{
    std::string strText = ReadWholeFile(strPath, static_cast<std::size_t>(MAX_BODY_FILE_SIZE));
    strText.resize(std::strlen(strText.c_str())); // the text ends at the first NUL
    return strText;
}

void CMailSender::ComposeBody(std::string strText, const SendRequest& request)
{
    const SendAnswers& answers = m_options.answers;
    const bool bUtf8Wire = WireCharset() == MailCharset::utf8;
    if (answers.bBodyFromUtf8 && bUtf8Wire)
    {
        constexpr std::string_view kBom = "\xEF\xBB\xBF";
        m_strWireBody = FillPlaceholdersUtf8(
            strText.compare(0, kBom.size(), kBom) == 0 ? strText.substr(kBom.size()) : strText,
            request, m_timeSend);
    }
    if (answers.bBodyFromUtf8)
        strText = Utf8ToSjisReplacing(strText, nullptr);
    strText = FillPlaceholders(std::move(strText), request, m_timeSend);
    if (answers.bReplaceUnsafe)
        strText = ReplaceUnsafeChars(strText);
    m_strBody = std::move(strText);
    if (!bUtf8Wire)
        m_strWireBody = m_strBody;
    else if (!answers.bBodyFromUtf8)
        m_strWireBody = ToWireUtf8(m_strBody);
}

MailCharset CMailSender::WireCharset() const
{
    return m_options.answers.bSendUtf8 || m_options.profile.charset == MailCharset::utf8
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
