// ClassicSession.cpp - POP before SMTP in clear text with LF-ended commands.
#include "mail/ClassicSession.h"

#include "app/Sjis.h"
#include "mail/BufferedSocket.h"
#include "mail/LineTransport.h"
#include "mail/ReplyReader.h"
#include "mail/ServerAddress.h"

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

bool FitsLoginLine(const std::string& strValue)
{
    return strValue.size() <= kMaxLoginValue && strValue.find_first_of("\r\n") == std::string::npos;
}
} // namespace

CClassicSession::CClassicSession(CBufferedSocket& socket, IPlatform& platform,
                                 const DeliveryProfile& profile)
    : m_socket(socket), m_platform(platform), m_profile(profile)
{
}

bool CClassicSession::Fail(SendCode code)
{
    return Fail(code, m_socket.FailureDetail());
}

bool CClassicSession::Fail(SendCode code, std::string strDetail)
{
    m_failure = SendOutcome::Failed(code, m_step, std::move(strDetail));
    return false;
}

bool CClassicSession::Connect(const std::string& strServer, int nDefaultPort, SendStep greetingStep,
                              char (&szGreeting)[kGreetingBufferSize])
{
    std::string strHost;
    int nPort = 0;
    if (!m_socket.Create() || !SplitServerField(strServer, nDefaultPort, strHost, nPort) ||
        !m_socket.Connect(strHost, nPort))
    {
        m_socket.Close();
        return Fail(SendCode::NoSession);
    }
    Begin(greetingStep);
    if (ReadReply(m_socket, m_platform, szGreeting, kGreetingBufferSize, '\n') < 3)
    {
        m_socket.Close();
        return Fail(SendCode::NoSession);
    }
    return true;
}

bool CClassicSession::PopLogin(const SenderInf& sender)
{
    constexpr const char* kUnfit = "ログイン名かパスワードが長すぎるか改行を含みます";
    const std::string strLogin = FieldText(sender.szLoginName);
    const std::string strPassword = FieldText(sender.szPassword);
    Begin(SendStep::PopUser);
    if (!FitsLoginLine(strLogin))
        return Fail(SendCode::NoSession, kUnfit);
    Begin(SendStep::PopPass);
    if (!FitsLoginLine(strPassword))
        return Fail(SendCode::NoSession, kUnfit);

    Begin(SendStep::PopConnect);
    char szGreeting[kGreetingBufferSize];
    if (!Connect(FieldText(sender.szPop3Server), DefaultPop3Port(m_profile), SendStep::PopGreeting,
                 szGreeting))
        return false;
    if (!IsPop3Ok(szGreeting))
    {
        m_socket.Close();
        return Fail(SendCode::NoSession);
    }
    struct LoginLine
    {
        std::string strLine;
        SendStep step;
        int nShown; // the password stays out of the trace
    };
    const LoginLine lines[] = {{"USER " + strLogin + "\n", SendStep::PopUser, -1},
                               {"PASS " + strPassword + "\n", SendStep::PopPass, 5}};
    for (const auto& [strLine, step, nShown] : lines)
    {
        Begin(step);
        // The values fit the 128-byte line buffer (FitsLoginLine); the reply is read into one.
        const int nLength = static_cast<int>(strLine.size());
        const int nSent = nShown < 0 ? m_socket.Send(strLine.data(), nLength)
                                     : m_socket.SendSecret(strLine.data(), nLength, nShown);
        char szReply[kLoginBufferSize];
        if (nSent != nLength ||
            ReadReply(m_socket, m_platform, szReply, sizeof(szReply), '\n') < 3 ||
            !IsPop3Ok(szReply))
            return Fail(SendCode::NoSession); // the connection stays open, without QUIT
    }
    Quit();
    return true;
}

bool CClassicSession::OpenSmtp(const SenderInf& sender)
{
    Begin(SendStep::SmtpConnect);
    char szGreeting[kGreetingBufferSize];
    if (!Connect(FieldText(sender.szSmtpServer), DefaultSmtpPort(m_profile), SendStep::SmtpGreeting,
                 szGreeting))
        return false;
    if (ReplyCode(szGreeting) != 220)
    {
        m_socket.Close();
        return Fail(SendCode::NoSession);
    }
    return true;
}

bool CClassicSession::Envelope(const SenderInf& sender, const SendRequest& request)
{
    struct Command
    {
        std::string strLine;
        int nExpected;
        SendStep step;
    };
    const Command commands[] = {
        {"HELO merrows\n", 250, SendStep::Helo},
        {"MAIL FROM:<" + FieldText(sender.szMailAddress) + ">\n", 250, SendStep::MailFrom},
        {"RCPT TO:<" + FieldText(request.szAddress) + ">\n", 250, SendStep::RcptTo},
        {"DATA\n", 354, SendStep::Data},
    };
    for (const Command& command : commands)
    {
        Begin(command.step);
        // A line longer than the 1024-byte command buffer is never sent cut.
        const CommandResult result =
            command.strLine.size() >= kCommandBufferSize
                ? CommandResult::NotSent
                : SendCommand(m_socket, m_platform, command.strLine.c_str(), command.nExpected);
        if (result != CommandResult::Ok)
        {
            Fail(EnvelopeCode(command.step, result));
            Quit();
            return false;
        }
    }
    m_socket.BeginData();
    return true;
}

bool CClassicSession::MessageAccepted()
{
    Begin(SendStep::EndOfData);
    char szReply[kCommandBufferSize];
    return ReadReply(m_socket, m_platform, szReply, sizeof(szReply), '\n') >= 3 &&
           ReplyCode(szReply) == 250;
}

void CClassicSession::Quit()
{
    char szBuffer[kQuitBufferSize] = "QUIT\n";
    const int nLength = static_cast<int>(std::strlen(szBuffer));
    if (m_socket.Send(szBuffer, nLength) == nLength)
        ReadReply(m_socket, m_platform, szBuffer, sizeof(szBuffer), '\n');
    m_socket.Close();
}
