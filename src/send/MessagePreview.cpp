// MessagePreview.cpp - composing a mail into memory through a stand-in server.
#include "send/MessagePreview.h"

#include "app/FileSystem.h"
#include "app/LocalTime.h"
#include "app/Sjis.h"
#include "mail/MailSender.h"
#include "mail/Socket.h"
#include "send/FailureReason.h"

#include <memory>

namespace
{
// A server that takes everything: POP3 "+OK" to every line, SMTP 250 to every command and 354 to
// DATA; the message data, up to the line that ends it, is kept.
class CTakingServer : public ISocket
{
  public:
    explicit CTakingServer(std::string& strMessage, int& nConnections)
        : m_strMessage(strMessage), m_nConnections(nConnections)
    {
    }
    bool Create() override { return true; }
    bool Connect(const std::string&, int) override
    {
        // The classic session opens POP3 first, then SMTP.
        m_bPop = m_nConnections == 0;
        ++m_nConnections;
        m_strReplies = m_bPop ? "+OK preview\r\n" : "220 preview\r\n";
        return true;
    }
    int Send(const char* pData, int nLength) override
    {
        m_strLine.append(pData, static_cast<std::size_t>(nLength));
        for (std::size_t nEnd; (nEnd = m_strLine.find('\n')) != std::string::npos;)
        {
            const std::string strLine = m_strLine.substr(0, nEnd + 1);
            m_strLine.erase(0, nEnd + 1);
            Take(strLine);
        }
        return nLength;
    }
    void BeginReply() override {}
    int Receive(char* pBuffer, int nMaximum) override
    {
        const std::size_t n = std::min(m_strReplies.size(), static_cast<std::size_t>(nMaximum));
        m_strReplies.copy(pBuffer, n);
        m_strReplies.erase(0, n);
        return static_cast<int>(n);
    }
    void Close() override {}
    int GetLastError() const override { return 0; }

  private:
    void Take(const std::string& strLine)
    {
        if (m_bData)
        {
            if (strLine == ".\r\n")
            {
                m_bData = false;
                m_strReplies += "250 preview\r\n";
            }
            else
                m_strMessage += strLine.compare(0, 2, "..") == 0 ? strLine.substr(1) : strLine;
            return;
        }
        if (m_bPop)
            m_strReplies += "+OK\r\n";
        else if (strLine.compare(0, 4, "DATA") == 0)
        {
            m_bData = true;
            m_strReplies += "354 go\r\n";
        }
        else if (strLine.compare(0, 4, "EHLO") == 0)
            m_strReplies += "250 preview\r\n";
        else
            m_strReplies += strLine.compare(0, 4, "QUIT") == 0 ? "221 bye\r\n" : "250 ok\r\n";
    }

    std::string& m_strMessage;
    int& m_nConnections;
    bool m_bPop = false;
    bool m_bData = false;
    std::string m_strLine, m_strReplies;
};

class CTakingServers : public ISocketFactory
{
  public:
    std::unique_ptr<ISocket> CreateSocket() override
    {
        return std::make_unique<CTakingServer>(m_strMessage, m_nConnections);
    }
    std::string m_strMessage;

  private:
    int m_nConnections = 0;
};
} // namespace

MessagePreview PreviewMessage(IPlatform& platform, const SenderInf& sender,
                              const SendRequest& request, const DeliveryProfile& profile,
                              const SendAnswers& answers)
{
    MessagePreview preview;
    if (!profile.strRefused.empty())
    {
        preview.strProblem = FailureReason(
            SendOutcome::Failed(SendCode::ProfileRefused, SendStep::Check, profile.strRefused),
            profile);
        return preview;
    }
    // The message does not depend on the transport: the classic session carries it.
    MailOptions options;
    options.profile.charset = profile.charset;
    options.answers = answers;
    CTakingServers servers;
    CMailSender mail(platform, servers, options);
    // The servers and the log-in reach no message: stand-ins keep an unset sender composable.
    SenderInf stand = sender;
    SetField(stand.szPop3Server, "preview");
    SetField(stand.szSmtpServer, "preview");
    SetField(stand.szLoginName, "preview");
    SetField(stand.szPassword, "preview");
    const bool bMultipart = request.szBinFile[0] != '\0';
    const SendOutcome outcome = mail.Deliver(stand, request, bMultipart);
    if (!outcome.Sent())
    {
        preview.strProblem =
            outcome.strDetail.empty() ? "メールを組み立てられません" : outcome.strDetail;
        return preview;
    }
    preview.bComposed = true;
    preview.strSource = servers.m_strMessage;
    std::string& strShown = preview.strShown;
    strShown.append("差出人: ")
        .append(FieldText(sender.szName))
        .append(" <")
        .append(FieldText(sender.szMailAddress))
        .append(">\r\n宛先: ")
        .append(FieldText(request.szName))
        .append(" <")
        .append(FieldText(request.szAddress))
        .append(">\r\n件名: ")
        .append(FieldText(request.szTitle))
        .append("\r\n日付: ")
        .append(FormatLocalTime(outcome.timeSend, "%Y年%m月%d日 %H時%M分"))
        .append("\r\n");
    if (bMultipart)
    {
        const std::string strPath = FieldText(request.szBinFile);
        strShown.append("添付: ")
            .append(strPath.substr(LastFolderSeparator(strPath) + 1))
            .append(" (")
            .append(std::to_string(GetFileSizeOrZero(strPath)))
            .append(" バイト)\r\n");
    }
    strShown.append("\r\n").append(outcome.strBody);
    return preview;
}
