// FailureReason.cpp - a failed send operation in the user's words.
#include "send/FailureReason.h"

namespace
{
constexpr const char* REASON_BIN_FILE_CHANGED = "添付ファイルが送信中に変更されました";
constexpr const char* REASON_RECIPIENT_REFUSED = "サーバが宛先アドレスを拒否しました";
constexpr const char* REASON_CONNECTION_REFUSED = "サーバに接続できません (接続を拒否されました)";
constexpr const char* REASON_TIMED_OUT = "タイムアウトしました";
constexpr const char* HINT_TLS_PORT =
    "。SSL/TLS は普通 465 番、STARTTLS は 587 番です。「接続設定」の SMTP "
    "の暗号化を確かめてください";
constexpr const char* HINT_CA_FILE = "。「接続設定」の CA ファイルを確かめてください";
constexpr const char* REASON_TRANSMISSION = "発送元設定を確認してください。";
// The POP3 server of POP before SMTP, not the SMTP server, refused the token.
constexpr const char* REASON_POP_OAUTH_REFUSED =
    "POP3サーバがOAuth 2.0のアクセストークンを拒否しました";

// What the user can act on for a failure of the delivery profile (TLS, SMTP AUTH); nullptr for the
// classic session's failures, which keep the one general reason.
const char* DeliveryFailureReason(SendCode code)
{
    switch (code)
    {
    case SendCode::TlsNotOffered:
        return "サーバが暗号化(STARTTLS)に対応していません";
    case SendCode::TlsRefused:
        return "サーバが暗号化の開始を拒否しました";
    case SendCode::TlsInjection:
        return "暗号化の開始前にサーバから余分なデータが届きました";
    case SendCode::TlsFailed:
        return "暗号化(TLS)の接続を確立できませんでした";
    case SendCode::CertUntrusted:
        return "サーバの証明書を検証できませんでした";
    case SendCode::CertWrongHost:
        return "サーバの証明書がサーバ名と一致しません";
    case SendCode::CaFileUnreadable:
        return "CaFileの証明書を読み込めません";
    case SendCode::AuthNotOffered:
        return "サーバが使える認証方式(SMTP AUTH)を提供していません";
    case SendCode::LoginRefused:
        return "サーバがログイン名またはパスワードを拒否しました";
    case SendCode::LoginNoReply:
        return "ログイン中にサーバとの接続が切れました";
    case SendCode::OAuthTokenFailed:
        return "OAuth 2.0のアクセストークンを得られませんでした";
    case SendCode::OAuthRefused:
        return "サーバがOAuth 2.0のアクセストークンを拒否しました";
    case SendCode::AttachmentShortened:
        return REASON_BIN_FILE_CHANGED;
    default:
        return nullptr;
    }
}
} // namespace

std::string FailureReason(const SendOutcome& outcome, const DeliveryProfile& profile)
{
    const SendCode code = outcome.code;
    if (code == SendCode::ProfileRefused)
        return "Delivery.iniの値 " + profile.strRefused + " は使えません"; // troubleshooting
    if (outcome.strDetail.find("WSAETIMEDOUT") != std::string::npos)
    {
        std::string strReason = std::string(REASON_TIMED_OUT)
                                    .append(" (")
                                    .append(SendStepName(outcome.step))
                                    .append(")");
        // A server of implicit TLS (465) waits for the handshake while STARTTLS waits for its
        // greeting: the silence is the sign of the mismatch.
        if (outcome.step == SendStep::SmtpGreeting && profile.smtp == SmtpSecurity::starttls)
            strReason.append(HINT_TLS_PORT);
        return strReason;
    }
    if (outcome.strDetail.find("WSAECONNREFUSED") != std::string::npos)
        return REASON_CONNECTION_REFUSED;
    if (code == SendCode::RcptToRefused)
        return REASON_RECIPIENT_REFUSED;
    if (code == SendCode::OAuthRefused && outcome.step == SendStep::PopAuth)
        return REASON_POP_OAUTH_REFUSED;
    const char* pszReason = DeliveryFailureReason(code);
    if (pszReason == nullptr)
        return REASON_TRANSMISSION;
    if (code == SendCode::TlsFailed && outcome.step == SendStep::SmtpTls)
        return std::string(pszReason).append(HINT_TLS_PORT);
    if (code == SendCode::CertUntrusted)
        return std::string(pszReason).append(HINT_CA_FILE);
    return pszReason;
}
