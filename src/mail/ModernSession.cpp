// ModernSession.cpp - POP3 over TLS and the SMTP submission session with STARTTLS and AUTH.
#include "mail/ModernSession.h"

#include "mail/LineTransport.h"
#include "mail/SendResult.h"
#include "mail/ServerAddress.h"

#include <unistd.h>

namespace
{
bool IsPop3Ok(const std::string& strLine)
{
    return strLine.compare(0, 3, "+OK") == 0;
}

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
} // namespace

CModernSession::CModernSession(CBufferedSocket& socket, CTlsSocket& tls,
                               const DeliveryProfile& profile)
    : m_socket(socket), m_tls(tls), m_profile(profile), m_reader(socket)
{
}

std::string CModernSession::EhloName()
{
    char szName[256] = {};
    if (::gethostname(szName, sizeof(szName) - 1) != 0 || !IsDomainName(szName))
        return "localhost";
    return szName;
}

int CModernSession::Fail(int nResult)
{
    m_socket.Close();
    m_reader.Reset();
    return nResult;
}

int CModernSession::HandshakeFailure() const
{
    switch (m_tls.Failure())
    {
    case TlsFailure::caFile:
        return SEND_CA_FILE_UNREADABLE;
    case TlsFailure::certificate:
        return SEND_CERT_UNTRUSTED;
    case TlsFailure::hostName:
        return SEND_CERT_WRONG_HOST;
    default:
        return SEND_TLS_FAILED;
    }
}

int CModernSession::Command(const std::string& strLine)
{
    const std::string strWire = strLine + "\r\n";
    const int nLength = static_cast<int>(strWire.size());
    if (m_socket.Send(strWire.data(), nLength) != nLength)
        return -1;
    const int nCode = m_reader.ReadSmtpReply(m_reply);
    return nCode < 0 ? -2 : nCode;
}

int CModernSession::PopLogin(const std::string& strServer, const std::string& strName,
                             const std::string& strPassword)
{
    m_reader.Reset();
    std::string strHost;
    int nPort = 0;
    if (!m_socket.Create() ||
        !SplitServerField(strServer, DefaultPop3Port(m_profile), strHost, nPort) ||
        !m_socket.Connect(strHost, nPort))
        return Fail(SEND_NO_SESSION);
    if (m_profile.pop == PopSecurity::tls && !m_tls.Handshake(strHost))
        return Fail(HandshakeFailure());
    std::string strLine;
    if (!m_reader.ReadLine(strLine) || !IsPop3Ok(strLine))
        return Fail(SEND_NO_SESSION);

    const auto sendLine = [this](const std::string& strText) {
        const std::string strWire = strText + "\r\n";
        const int nLength = static_cast<int>(strWire.size());
        return m_socket.Send(strWire.data(), nLength) == nLength;
    };
    if (m_profile.pop == PopSecurity::stls)
    {
        if (!sendLine("STLS") || !m_reader.ReadLine(strLine))
            return Fail(SEND_NO_SESSION);
        if (!IsPop3Ok(strLine))
            return Fail(SEND_TLS_REFUSED);
        if (m_reader.HasPending())
            return Fail(SEND_TLS_INJECTION);
        if (!m_tls.Handshake(strHost))
            return Fail(HandshakeFailure());
    }
    if (!m_tls.IsEncrypted())
        return Fail(SEND_TLS_FAILED); // never a log-in in clear on this path

    for (const std::string& strCommand : {"USER " + strName, "PASS " + strPassword})
    {
        if (!sendLine(strCommand) || !m_reader.ReadLine(strLine))
            return Fail(SEND_LOGIN_NO_REPLY);
        if (!IsPop3Ok(strLine))
            return Fail(SEND_LOGIN_REFUSED);
    }
    if (sendLine("QUIT"))
        m_reader.ReadLine(strLine);
    return Fail(MODERN_OK); // the POP3 connection is done with
}

int CModernSession::Ehlo()
{
    const int nCode = Command("EHLO " + EhloName());
    if (nCode == -1)
        return Fail(SEND_HELO_NOT_SENT);
    if (nCode == -2)
        return Fail(SEND_HELO_NO_REPLY);
    if (nCode != 250)
    {
        SendQuit();
        return SEND_HELO_REFUSED;
    }
    m_capabilities = ParseEhloReply(m_reply);
    return MODERN_OK;
}

int CModernSession::StartTls(const std::string& strHost)
{
    if (!m_capabilities.bStartTls)
    {
        SendQuit();
        return SEND_TLS_NOT_OFFERED;
    }
    const int nCode = Command("STARTTLS");
    if (nCode < 0)
        return Fail(SEND_TLS_FAILED);
    if (nCode != 220)
    {
        SendQuit();
        return SEND_TLS_REFUSED;
    }
    // Whatever came after the reply was sent before the handshake and must not be taken as
    // the encrypted server's word (CVE-2011-0411 and its kin).
    if (m_reader.HasPending())
        return Fail(SEND_TLS_INJECTION);
    if (!m_tls.Handshake(strHost))
        return Fail(HandshakeFailure());
    return Ehlo();
}

int CModernSession::Authenticate(const std::string& strName, const std::string& strPassword)
{
    int nCode = -2;
    switch (ChooseAuthMechanism(m_capabilities, m_tls.IsEncrypted()))
    {
    case AuthMechanism::none:
        SendQuit();
        return SEND_AUTH_NOT_OFFERED;
    case AuthMechanism::plain:
        nCode = Command(AuthPlainCommand(strName, strPassword));
        break;
    case AuthMechanism::login:
        nCode = Command("AUTH LOGIN");
        if (nCode == 334)
            nCode = Command(Base64(strName));
        if (nCode == 334)
            nCode = Command(Base64(strPassword));
        break;
    case AuthMechanism::cramMd5:
        nCode = Command("AUTH CRAM-MD5");
        if (nCode == 334)
        {
            const std::string strAnswer =
                CramMd5Response(strName, strPassword, m_reply.empty() ? "" : m_reply[0]);
            nCode = Command(strAnswer.empty() ? "*" : strAnswer); // "*" cancels the exchange
        }
        break;
    }
    if (nCode == 235)
        return MODERN_OK;
    if (nCode < 0)
        return Fail(SEND_LOGIN_NO_REPLY);
    SendQuit();
    return SEND_LOGIN_REFUSED;
}

int CModernSession::OpenSmtp(const std::string& strServer, const std::string& strName,
                             const std::string& strPassword)
{
    m_reader.Reset();
    std::string strHost;
    int nPort = 0;
    if (!m_socket.Create() ||
        !SplitServerField(strServer, DefaultSmtpPort(m_profile), strHost, nPort) ||
        !m_socket.Connect(strHost, nPort))
        return Fail(SEND_NO_SESSION);
    if (m_profile.smtp == SmtpSecurity::tls && !m_tls.Handshake(strHost))
        return Fail(HandshakeFailure());
    if (m_reader.ReadSmtpReply(m_reply) != 220)
        return Fail(SEND_NO_SESSION);
    int nResult = Ehlo();
    if (nResult == MODERN_OK && m_profile.smtp == SmtpSecurity::starttls)
        nResult = StartTls(strHost);
    if (nResult == MODERN_OK && m_profile.smtp != SmtpSecurity::none && !m_tls.IsEncrypted())
        nResult = Fail(SEND_TLS_FAILED);
    if (nResult == MODERN_OK && m_profile.auth == Authentication::smtpAuth)
        nResult = Authenticate(strName, strPassword);
    return nResult;
}

int CModernSession::SendEnvelope(const std::string& strFrom, const std::string& strTo)
{
    struct Step
    {
        std::string strLine;
        int nBase;
    };
    const Step steps[] = {
        {"MAIL FROM:<" + strFrom + ">", ENVELOPE_MAIL_FROM},
        {"RCPT TO:<" + strTo + ">", ENVELOPE_RCPT_TO},
        {"DATA", ENVELOPE_DATA},
    };
    for (const Step& step : steps)
    {
        const int nCode = Command(step.strLine);
        if (nCode == -1)
            return step.nBase + SENDCMD_NOT_SENT;
        if (nCode == -2)
            return step.nBase + SENDCMD_NO_REPLY;
        const bool bGood = step.nBase == ENVELOPE_DATA ? nCode == 354 : nCode / 100 == 2;
        if (!bGood)
            return step.nBase + SENDCMD_WRONG_CODE;
    }
    m_socket.BeginData();
    return ENVELOPE_OK;
}

bool CModernSession::MessageAccepted()
{
    return m_reader.ReadSmtpReply(m_reply) == 250;
}

void CModernSession::SendQuit()
{
    static const char kQuit[] = "QUIT\r\n";
    const int nLength = static_cast<int>(sizeof(kQuit) - 1);
    if (m_socket.Send(kQuit, nLength) == nLength)
        m_reader.ReadSmtpReply(m_reply);
    m_socket.Close();
    m_reader.Reset();
}
