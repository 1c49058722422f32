// ModernSession.cpp - POP3 over TLS and the SMTP submission session with STARTTLS and AUTH.
#include "mail/ModernSession.h"

#include "app/Process.h"
#include "app/Sjis.h"
#include "mail/OAuthSasl.h"
#include "mail/ServerAddress.h"

namespace
{
bool IsDomainName(const std::string& strName)
{
    if (strName.empty() || strName.size() > 253 || strName.front() == '.' || strName.front() == '-')
        return false;
    for (const char c : strName)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '-'))
            return false;
    return true;
}

// The send result of a command that did not go through.
CommandResult CommandFailure(int nCode)
{
    if (nCode == -1)
        return CommandResult::NotSent;
    return nCode == -2 ? CommandResult::NoReply : CommandResult::WrongCode;
}
} // namespace

std::string OAuthUser(const SenderInf& sender)
{
    const std::string strLogin = FieldText(sender.szLoginName);
    return strLogin.empty() ? FieldText(sender.szMailAddress) : strLogin;
}

CModernSession::CModernSession(CBufferedSocket& socket, CTlsSocket& tls,
                               const DeliveryProfile& profile)
    : m_socket(socket), m_tls(tls), m_profile(profile), m_reader(socket)
{
}

std::string CModernSession::EhloName()
{
    const std::string strName = HostName();
    return IsDomainName(strName) ? strName : "localhost";
}

bool CModernSession::Fail(SendCode code, bool bQuit)
{
    m_failure = SendOutcome::Failed(code, m_step, m_strLastLine);
    if (bQuit)
        Quit();
    m_socket.Close();
    m_reader.Reset();
    return false;
}

bool CModernSession::Handshake(const std::string& strHost)
{
    if (m_tls.Handshake(strHost))
        return true;
    // The last reply (the 220 to STARTTLS, say) tells nothing of why TLS failed.
    const std::string strWhy = !m_tls.VerifyReason().empty() ? m_tls.VerifyReason()
                               : m_tls.Failure() == TlsFailure::caFile
                                   ? "CaFile を PEM の証明書として読めません"
                                   : "TLS のハンドシェイクが成立しませんでした";
    Fail(HandshakeFailure());
    m_failure.strDetail = strWhy;
    return false;
}

SendCode CModernSession::HandshakeFailure() const
{
    switch (m_tls.Failure())
    {
    case TlsFailure::caFile:
        return SendCode::CaFileUnreadable;
    case TlsFailure::certificate:
        return SendCode::CertUntrusted;
    case TlsFailure::hostName:
        return SendCode::CertWrongHost;
    default:
        return SendCode::TlsFailed;
    }
}

bool CModernSession::SendLine(const std::string& strLine, int nShown)
{
    const std::string strWire = strLine + "\r\n";
    const int nLength = static_cast<int>(strWire.size());
    const int nSent = nShown < 0 ? m_socket.Send(strWire.data(), nLength)
                                 : m_socket.SendSecret(strWire.data(), nLength, nShown);
    return nSent == nLength;
}

int CModernSession::Command(const std::string& strLine, int nShown)
{
    if (!SendLine(strLine, nShown))
        return -1;
    const int nCode = m_reader.ReadSmtpReply(m_reply);
    if (nCode < 0)
        return -2;
    m_strLastLine = std::to_string(nCode) + " " + m_reply.back();
    return nCode;
}

bool CModernSession::Connect(const std::string& strServer, int nDefaultPort, std::string& strHost)
{
    m_reader.Reset();
    m_strLastLine.clear();
    int nPort = 0;
    if (!m_socket.Create() || !SplitServerField(strServer, nDefaultPort, strHost, nPort) ||
        !m_socket.Connect(strHost, nPort))
        return Fail(SendCode::NoSession);
    return true;
}

bool CModernSession::PopLogin(const SenderInf& sender)
{
    Begin(SendStep::PopConnect);
    std::string strHost;
    if (!Connect(FieldText(sender.szPop3Server), DefaultPop3Port(m_profile), strHost))
        return false;
    if (m_profile.pop == PopSecurity::tls)
    {
        Begin(SendStep::PopTls);
        if (!Handshake(strHost))
            return false;
    }
    Begin(SendStep::PopGreeting);
    if (!m_reader.ReadLine(m_strLastLine) || !IsPop3Ok(m_strLastLine))
        return Fail(SendCode::NoSession);

    Begin(SendStep::PopTls);
    if (m_profile.pop == PopSecurity::stls)
    {
        if (!SendLine("STLS") || !m_reader.ReadLine(m_strLastLine))
            return Fail(SendCode::TlsFailed);
        if (!IsPop3Ok(m_strLastLine))
            return Fail(SendCode::TlsRefused, true);
        // Bytes sent after the reply, before the handshake, must not pass for the encrypted
        // server's word (response injection).
        if (m_reader.HasPending())
            return Fail(SendCode::TlsInjection);
        if (!Handshake(strHost))
            return false;
    }
    if (!m_tls.IsEncrypted())
        return Fail(SendCode::TlsFailed); // never a log-in in clear here

    if (m_profile.auth == Authentication::oauth2)
    {
        if (!PopAuthenticateOAuth(OAuthUser(sender)))
            return false;
    }
    else
    {
        struct LoginLine
        {
            std::string strLine;
            SendStep step;
            int nShown; // the password stays out of the trace
        };
        const LoginLine steps[] = {{"USER " + FieldText(sender.szLoginName), SendStep::PopUser, -1},
                                   {"PASS " + FieldText(sender.szPassword), SendStep::PopPass, 5}};
        for (const auto& [strCommand, step, nShown] : steps)
        {
            Begin(step);
            if (!SendLine(strCommand, nShown) || !m_reader.ReadLine(m_strLastLine))
                return Fail(SendCode::LoginNoReply);
            if (!IsPop3Ok(m_strLastLine))
                return Fail(SendCode::LoginRefused);
        }
    }
    std::string strLine;
    if (SendLine("QUIT"))
        m_reader.ReadLine(strLine);
    m_socket.Close(); // the POP3 connection is done with
    m_reader.Reset();
    return true;
}

bool CModernSession::PopAuthenticateOAuth(const std::string& strUser)
{
    Begin(SendStep::PopAuth);
    int nShown = 0;
    const std::string strCommand =
        OAuthAuthCommand(OAuthMechanism::xoauth2, strUser, m_strAccessToken, nShown);
    if (!SendLine(strCommand, nShown) || !m_reader.ReadLine(m_strLastLine))
        return Fail(SendCode::LoginNoReply);
    if (IsPop3Ok(m_strLastLine))
        return true;
    std::string strStatus;
    if (m_strLastLine.rfind('+', 0) == 0)
    {
        // The error as base64 JSON; the exchange ends with an empty response and the refusal.
        const std::size_t nStart = m_strLastLine.find_first_not_of("+ ");
        strStatus = OAuthErrorStatus(nStart == std::string::npos ? std::string()
                                                                 : m_strLastLine.substr(nStart));
        if (!SendLine("") || !m_reader.ReadLine(m_strLastLine))
            return Fail(SendCode::LoginNoReply);
    }
    if (!strStatus.empty())
        m_strLastLine.append(" (status ").append(strStatus).append(")");
    // Even a +OK after the error continuation is no log-in the client can trust.
    return Fail(SendCode::OAuthRefused, true);
}

bool CModernSession::Ehlo()
{
    Begin(SendStep::Helo);
    const int nCode = Command("EHLO " + EhloName());
    if (nCode != 250)
        return Fail(EnvelopeCode(SendStep::Helo, CommandFailure(nCode)), nCode >= 0);
    m_capabilities = ParseEhloReply(m_reply);
    return true;
}

bool CModernSession::StartTls(const std::string& strHost)
{
    Begin(SendStep::SmtpTls);
    if (!m_capabilities.bStartTls)
        return Fail(SendCode::TlsNotOffered, true);
    const int nCode = Command("STARTTLS");
    if (nCode < 0)
        return Fail(SendCode::TlsFailed);
    if (nCode != 220)
        return Fail(SendCode::TlsRefused, true);
    // Whatever came after the reply was sent before the handshake and must not be taken as the
    // encrypted server's word (response injection, CVE-2011-0411 and its kin).
    if (m_reader.HasPending())
        return Fail(SendCode::TlsInjection);
    return Handshake(strHost) && Ehlo();
}

bool CModernSession::Authenticate(const std::string& strName, const std::string& strPassword)
{
    Begin(SendStep::SmtpAuth);
    int nCode = -2;
    switch (ChooseAuthMechanism(m_capabilities, m_tls.IsEncrypted()))
    {
    case AuthMechanism::none:
        return Fail(SendCode::AuthNotOffered, true);
    case AuthMechanism::plain:
        nCode = Command(AuthPlainCommand(strName, strPassword), 11); // "AUTH PLAIN "
        break;
    case AuthMechanism::login:
        nCode = Command("AUTH LOGIN");
        if (nCode == 334)
            nCode = Command(Base64(strName));
        if (nCode == 334)
            nCode = Command(Base64(strPassword), 0);
        break;
    case AuthMechanism::cramMd5:
        nCode = Command("AUTH CRAM-MD5");
        if (nCode == 334)
        {
            const std::string strAnswer =
                CramMd5Response(strName, strPassword, m_reply.empty() ? "" : m_reply[0]);
            nCode = Command(strAnswer.empty() ? "*" : strAnswer, 0); // "*" cancels the exchange
        }
        break;
    }
    if (nCode == 235)
        return true;
    if (nCode < 0)
        return Fail(SendCode::LoginNoReply);
    return Fail(SendCode::LoginRefused, true);
}

bool CModernSession::AuthenticateOAuth(const std::string& strUser)
{
    Begin(SendStep::SmtpAuth);
    const OAuthMechanism mechanism = ChooseOAuthMechanism(m_capabilities);
    if (mechanism == OAuthMechanism::none)
        return Fail(SendCode::AuthNotOffered, true);
    // A bearer token is as good as a password until it runs out: only over TLS, a failure of
    // the TLS step.
    if (!m_tls.IsEncrypted())
    {
        Begin(SendStep::SmtpTls);
        return Fail(SendCode::TlsFailed);
    }
    int nShown = 0;
    const std::string strCommand = OAuthAuthCommand(mechanism, strUser, m_strAccessToken, nShown);
    int nCode = Command(strCommand, nShown);
    if (nCode == 235)
        return true;
    std::string strStatus;
    if (nCode == 334)
    {
        // The error as JSON; the exchange ends with an empty response and the server's refusal.
        strStatus = OAuthErrorStatus(m_reply.empty() ? std::string() : m_reply[0]);
        nCode = Command("");
    }
    if (nCode < 0)
        return Fail(SendCode::LoginNoReply);
    if (!strStatus.empty())
        m_strLastLine.append(" (status ").append(strStatus).append(")");
    // Even a 235 after the error challenge is no log-in the client can trust.
    return Fail(SendCode::OAuthRefused, true);
}

bool CModernSession::OpenSmtp(const SenderInf& sender)
{
    Begin(SendStep::SmtpConnect);
    std::string strHost;
    if (!Connect(FieldText(sender.szSmtpServer), DefaultSmtpPort(m_profile), strHost))
        return false;
    if (m_profile.smtp == SmtpSecurity::tls)
    {
        Begin(SendStep::SmtpTls);
        if (!Handshake(strHost))
            return false;
    }
    Begin(SendStep::SmtpGreeting);
    const int nGreeting = m_reader.ReadSmtpReply(m_reply);
    if (nGreeting >= 0)
        m_strLastLine = std::to_string(nGreeting) + " " + m_reply.back();
    if (nGreeting != 220)
        return Fail(SendCode::NoSession);
    if (!Ehlo())
        return false;
    if (m_profile.smtp == SmtpSecurity::starttls && !StartTls(strHost))
        return false;
    if (m_profile.smtp != SmtpSecurity::none)
    {
        // The TLS step ends with the connection encrypted, whichever way the profile asked.
        Begin(SendStep::SmtpTls);
        if (!m_tls.IsEncrypted())
            return Fail(SendCode::TlsFailed);
    }
    if (m_profile.auth == Authentication::smtpAuth &&
        !Authenticate(FieldText(sender.szLoginName), FieldText(sender.szPassword)))
        return false;
    if (m_profile.auth == Authentication::oauth2 && !AuthenticateOAuth(OAuthUser(sender)))
        return false;
    return true;
}

bool CModernSession::Envelope(const SenderInf& sender, const SendRequest& request)
{
    struct Step
    {
        std::string strLine;
        SendStep step;
    };
    const Step steps[] = {
        {"MAIL FROM:<" + FieldText(sender.szMailAddress) + ">", SendStep::MailFrom},
        {"RCPT TO:<" + FieldText(request.szAddress) + ">", SendStep::RcptTo},
        {"DATA", SendStep::Data},
    };
    for (const Step& step : steps)
    {
        Begin(step.step);
        const int nCode = Command(step.strLine);
        const bool bGood = step.step == SendStep::Data ? nCode == 354 : nCode / 100 == 2;
        if (!bGood)
            return Fail(EnvelopeCode(step.step, CommandFailure(nCode)), nCode >= 0);
    }
    m_socket.BeginData();
    return true;
}

bool CModernSession::MessageAccepted()
{
    Begin(SendStep::EndOfData);
    const int nCode = m_reader.ReadSmtpReply(m_reply);
    if (nCode >= 0)
        m_strLastLine = std::to_string(nCode) + " " + m_reply.back();
    return nCode == 250;
}

void CModernSession::Quit()
{
    if (SendLine("QUIT"))
        m_reader.ReadSmtpReply(m_reply);
    m_socket.Close();
    m_reader.Reset();
}
