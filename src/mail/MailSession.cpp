// MailSession.cpp - the session of one send operation, picked from its delivery profile.
#include "mail/MailSession.h"

#include "app/Sjis.h"
#include "mail/ModernSession.h"
#include "mail/OAuthClient.h"
#include "mail/ClassicSession.h"

CMailSession::CMailSession(CBufferedSocket& socket, CTlsSocket& tls, IPlatform& platform,
                           const DeliveryProfile& profile, IAccessTokenSource* pAccessTokens)
    : m_profile(profile), m_pAccessTokens(pAccessTokens),
      m_pClassic(std::make_unique<CClassicSession>(socket, platform, profile)),
      m_pModern(std::make_unique<CModernSession>(socket, tls, profile)),
      m_smtp(profile.IsModernSmtp() ? static_cast<IMailSession&>(*m_pModern) : *m_pClassic)
{
}

CMailSession::~CMailSession() = default;

const SendOutcome& CMailSession::Failure() const
{
    return m_pFailed != nullptr ? m_pFailed->Failure() : m_failure;
}

bool CMailSession::Fail(SendCode code, SendStep step, std::string strDetail)
{
    m_pFailed = nullptr;
    m_failure = SendOutcome::Failed(code, step, std::move(strDetail));
    return false;
}

bool CMailSession::Open(const SenderInf& sender)
{
    const bool bClassic = !m_profile.IsModernSmtp() && m_profile.pop == PopSecurity::none &&
                          m_profile.auth == Authentication::popBeforeSmtp;
    // The classic session checks its own log-in lines; every other one refuses a line break
    // before anything is sent, whichever server the name and password would go to.
    const std::string strLogin = FieldText(sender.szLoginName);
    const std::string strPassword = FieldText(sender.szPassword);
    if (!bClassic && (strLogin.find_first_of("\r\n") != std::string::npos ||
                      strPassword.find_first_of("\r\n") != std::string::npos))
        return Fail(SendCode::NoSession, SendStep::Check,
                    "ログイン名かパスワードが長すぎるか改行を含みます");
    if (m_profile.auth == Authentication::oauth2)
    {
        // Before any connection: a refused sign-in must not get as far as the server.
        std::string strToken;
        std::string strError = "OAuth 2.0 のアクセストークンがありません";
        if (m_pAccessTokens == nullptr || !m_pAccessTokens->AccessToken(strToken, strError))
            return Fail(SendCode::OAuthTokenFailed, SendStep::SmtpAuth, strError);
        m_pModern->SetAccessToken(strToken);
    }
    if (m_profile.auth == Authentication::popBeforeSmtp || UsesOAuthPop(m_profile))
    {
        // POP3 in clear is always the classic log-in; POP3 over TLS (with a password or the
        // access token) the modern session's.
        IMailSession& pop = m_profile.pop == PopSecurity::none
                                ? static_cast<IMailSession&>(*m_pClassic)
                                : *m_pModern;
        if (!pop.PopLogin(sender))
        {
            m_pFailed = &pop;
            return false;
        }
    }
    if (!m_smtp.OpenSmtp(sender))
    {
        m_pFailed = &m_smtp;
        return false;
    }
    return true;
}

bool CMailSession::Envelope(const SenderInf& sender, const SendRequest& request)
{
    if (m_smtp.Envelope(sender, request))
        return true;
    m_pFailed = &m_smtp;
    return false;
}
