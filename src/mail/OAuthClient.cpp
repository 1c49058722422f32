// OAuthClient.cpp - the token endpoint's grants and the refresh token's file.
#include "mail/OAuthClient.h"

#include "app/FileError.h"
#include "app/FileSystem.h"
#include "app/TextCodec.h"
#include "mail/LoopbackListener.h"
#include "mail/OAuthHttp.h"
#include "mail/Pkce.h"
#include "mail/SystemSocket.h"
#include "mail/TokenCommand.h"

#include <nlohmann/json.hpp>
#include <thread> // (only its own duration types: <chrono> itself cannot be compiled as CP932)

namespace
{
// An access token is renewed this long before the server says it runs out, so that it never
// expires between the check and the AUTH command.
constexpr int kRenewBefore = 60;
constexpr std::size_t MAX_TOKEN_FILE = std::size_t{16} * 1024;
const char* const kRefreshTokenKey = "RefreshToken=";
const char* const kDeviceGrant = "urn:ietf:params:oauth:grant-type:device_code";

std::string JsonString(const nlohmann::json& json, const char* pszName)
{
    const auto it = json.find(pszName);
    return it != json.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// Seconds as a number or as digits (some servers send "3600").
long JsonSeconds(const nlohmann::json& json, const char* pszName, long nDefault)
{
    const auto it = json.find(pszName);
    if (it != json.end() && it->is_number_integer())
        return it->get<long>();
    if (it != json.end() && it->is_string())
    {
        const std::string strDigits = it->get<std::string>();
        if (!strDigits.empty() && strDigits.size() < 9 &&
            strDigits.find_first_not_of("0123456789") == std::string::npos)
            return std::stol(strDigits);
    }
    return nDefault;
}

// A server's text for the user: UTF-8 to CP932, control characters dropped, bounded.
std::string ServerText(const std::string& strUtf8)
{
    std::string strClean;
    for (const char c : strUtf8.substr(0, 400))
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            strClean += c;
    return IsValidUtf8(strClean) ? Utf8ToSjisReplacing(strClean, nullptr) : std::string();
}

bool IsTokenText(const std::string& strToken)
{
    if (strToken.empty() || strToken.size() > std::size_t{16} * 1024)
        return false;
    for (const char c : strToken)
        if (c < 0x21 || c > 0x7E)
            return false;
    return true;
}

// The value of one parameter of a query ("code=...&state=..."), percent-decoded.
std::string QueryValue(const std::string& strQuery, const std::string& strName)
{
    std::size_t nAt = 0;
    while (nAt <= strQuery.size())
    {
        std::size_t nEnd = strQuery.find('&', nAt);
        if (nEnd == std::string::npos)
            nEnd = strQuery.size();
        const std::string strPair = strQuery.substr(nAt, nEnd - nAt);
        nAt = nEnd + 1;
        if (strPair.rfind(strName + "=", 0) != 0)
            continue;
        std::string strValue;
        const std::string strRaw = strPair.substr(strName.size() + 1);
        for (std::size_t i = 0; i < strRaw.size(); ++i)
        {
            const std::string strHex = strRaw.substr(i + 1, 2);
            if (strRaw[i] == '%' && strHex.size() == 2 &&
                strHex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos)
            {
                strValue += static_cast<char>(std::stoi(strHex, nullptr, 16));
                i += 2;
            }
            else
                strValue += strRaw[i] == '+' ? ' ' : strRaw[i];
        }
        return strValue;
    }
    return std::string();
}

// The page the browser shows after the redirect (UTF-8, never CP932).
std::string RedirectPage(int nStatus, const char8_t* pszText)
{
    const std::string strHtml =
        std::string("<!DOCTYPE html><html lang=\"ja\"><meta charset=\"utf-8\"><title>Tarvell"
                    "</title><p>")
            .append(reinterpret_cast<const char*>(pszText))
            .append("</p></html>");
    return std::string("HTTP/1.1 ")
        .append(nStatus == 200 ? "200 OK" : "400 Bad Request")
        .append("\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: ")
        .append(std::to_string(strHtml.size()))
        .append("\r\nConnection: close\r\nCache-Control: no-store\r\n\r\n")
        .append(strHtml);
}

class CTokenCommandSource : public IAccessTokenSource
{
  public:
    explicit CTokenCommandSource(std::string strCommand) : m_strCommand(std::move(strCommand)) {}
    bool AccessToken(std::string& strToken, std::string& strError) override
    {
        std::vector<std::string> words;
        if (!SplitCommandLine(m_strCommand, words))
        {
            strError = "OAuthTokenCommand の引用符が閉じていません"; // troubleshooting
            return false;
        }
        return RunTokenCommand(words, kTokenCommandTimeout, strToken, strError);
    }

  private:
    const std::string m_strCommand;
};
} // namespace

void COAuthClient::SleepSeconds(int nSeconds)
{
    std::this_thread::sleep_for(std::chrono::seconds(nSeconds));
}

COAuthClient::COAuthClient(ISocketFactory& sockets, OAuthSettings settings,
                           std::string strTokenFile, std::string strCaFile)
    : m_sockets(sockets), m_settings(std::move(settings)), m_endpoints(EndpointsOf(m_settings)),
      m_strTokenFile(std::move(strTokenFile)), m_strCaFile(std::move(strCaFile))
{
}

std::string COAuthClient::ReadRefreshToken() const
{
    if (!IsRegularFile(m_strTokenFile))
        return std::string();
    const std::string strText = ReadWholeFile(m_strTokenFile, MAX_TOKEN_FILE);
    std::string strClient;
    std::string strToken;
    std::size_t nAt = 0;
    while (nAt < strText.size())
    {
        std::size_t nEnd = strText.find('\n', nAt);
        if (nEnd == std::string::npos)
            nEnd = strText.size();
        std::string strLine = strText.substr(nAt, nEnd - nAt);
        nAt = nEnd + 1;
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        if (strLine.rfind("ClientId=", 0) == 0)
            strClient = strLine.substr(9);
        else if (strLine.rfind(kRefreshTokenKey, 0) == 0)
            strToken = strLine.substr(std::string(kRefreshTokenKey).size());
    }
    // A token of another application or server is no sign-in for this one.
    if (strClient != m_settings.strClientId + "@" + m_endpoints.strTokenUrl)
        return std::string();
    return strToken;
}

void COAuthClient::SaveRefreshToken(const std::string& strToken) const
{
    std::string strText =
        "# Tarvell の OAuth 2.0 サインイン (パスワードと同じく他人に見せないこと)\r\n";
    if (!strToken.empty())
        strText.append("ClientId=")
            .append(m_settings.strClientId)
            .append("@")
            .append(m_endpoints.strTokenUrl)
            .append("\r\n")
            .append(kRefreshTokenKey)
            .append(strToken)
            .append("\r\n");
    WriteFileReplacing(m_strTokenFile, strText.data(), strText.size(), 0600);
}

bool COAuthClient::SignedIn() const
{
    return !ReadRefreshToken().empty();
}

void COAuthClient::SignOut()
{
    m_strAccessToken.clear();
    m_tExpires = 0;
    if (PathEntryExists(m_strTokenFile))
        SaveRefreshToken(std::string());
}

bool COAuthClient::TokenRequest(const std::string& strForm, std::string& strOAuthError,
                                std::string& strError)
{
    strOAuthError.clear();
    HttpReply reply;
    if (!HttpsPostForm(m_sockets, m_strCaFile, m_endpoints.strTokenUrl, strForm, reply, strError))
    {
        strError = "認可サーバに接続できません: " + strError; // troubleshooting
        return false;
    }
    const nlohmann::json json = nlohmann::json::parse(reply.strBody, nullptr, false);
    if (json.is_discarded() || !json.is_object())
    {
        strError = "認可サーバの応答を読めません (HTTP " + // troubleshooting
                   std::to_string(reply.nStatus) + ")";
        return false;
    }
    if (reply.nStatus != 200)
    {
        strOAuthError = ServerText(JsonString(json, "error"));
        const std::string strWhy = ServerText(JsonString(json, "error_description"));
        strError = strOAuthError + (strWhy.empty() ? std::string() : ": " + strWhy);
        return false;
    }
    const std::string strAccess = JsonString(json, "access_token");
    const std::string strRefresh = JsonString(json, "refresh_token");
    if (!IsTokenText(strAccess) || (!strRefresh.empty() && !IsTokenText(strRefresh)))
    {
        strError = "認可サーバの応答にアクセストークンがありません"; // troubleshooting
        return false;
    }
    // The new refresh token is saved before anything uses the access token: a server that
    // rotates them takes the old one back at once.
    if (!strRefresh.empty())
        SaveRefreshToken(strRefresh);
    m_strAccessToken = strAccess;
    m_tExpires = now() + JsonSeconds(json, "expires_in", 3600);
    return true;
}

bool COAuthClient::AccessToken(std::string& strToken, std::string& strError)
{
    strToken.clear();
    if (!m_strAccessToken.empty() && now() + kRenewBefore < m_tExpires)
    {
        strToken = m_strAccessToken;
        return true;
    }
    m_strAccessToken.clear();
    std::string strRefresh;
    try
    {
        strRefresh = ReadRefreshToken();
    }
    catch (const CFileException&)
    {
        strError = std::string(kOAuthTokenFileName) + " を読めません"; // troubleshooting
        return false;
    }
    if (strRefresh.empty())
    {
        strError =
            "OAuth 2.0 でサインインしていません。tarvell-config oauth login を実行して" // troubleshooting
            "ください"; // troubleshooting
        return false;
    }
    std::string strOAuthError;
    const std::string strForm = FormEncode({{"grant_type", "refresh_token"},
                                            {"client_id", m_settings.strClientId},
                                            {"refresh_token", strRefresh},
                                            {"scope", m_endpoints.strScope}});
    try
    {
        if (TokenRequest(strForm, strOAuthError, strError))
        {
            strToken = m_strAccessToken;
            return true;
        }
    }
    catch (const CFileException&)
    {
        strError = std::string(kOAuthTokenFileName) +
                   " に新しいトークンを保存できません"; // troubleshooting
        return false;
    }
    if (!strOAuthError.empty())
        strError = "再度サインインしてください (" + strError + ")"; // troubleshooting
    return false;
}

bool COAuthClient::SignInWithDevice(const std::function<void(const DeviceCode&)>& show,
                                    std::string& strError)
{
    const std::string strClient = m_settings.strClientId;
    HttpReply reply;
    if (m_endpoints.strDeviceUrl.empty())
    {
        strError = "OAuthDeviceUrl がありません";
        return false;
    }
    if (!HttpsPostForm(m_sockets, m_strCaFile, m_endpoints.strDeviceUrl,
                       FormEncode({{"client_id", strClient}, {"scope", m_endpoints.strScope}}),
                       reply, strError))
    {
        strError = "認可サーバに接続できません: " + strError;
        return false;
    }
    const nlohmann::json json = nlohmann::json::parse(reply.strBody, nullptr, false);
    const bool bObject = !json.is_discarded() && json.is_object();
    DeviceCode code;
    std::string strDeviceCode;
    if (bObject)
    {
        strDeviceCode = JsonString(json, "device_code");
        code.strUserCode = ServerText(JsonString(json, "user_code"));
        code.strVerificationUrl = JsonString(json, "verification_uri");
        if (code.strVerificationUrl.empty())
            code.strVerificationUrl = JsonString(json, "verification_url"); // Google's name
        code.strCompleteUrl = JsonString(json, "verification_uri_complete");
        code.nExpiresIn = static_cast<int>(JsonSeconds(json, "expires_in", 600));
    }
    if (reply.nStatus != 200 || strDeviceCode.empty() || code.strUserCode.empty() ||
        code.strVerificationUrl.empty())
    {
        strError =
            "認可サーバがデバイスコードを発行しませんでした (HTTP " + // troubleshooting
            std::to_string(reply.nStatus) + ")" +
            (bObject ? " " + ServerText(JsonString(json, "error_description")) : std::string());
        return false;
    }
    code.strVerificationUrl = ServerText(code.strVerificationUrl);
    code.strCompleteUrl = ServerText(code.strCompleteUrl);
    show(code);
    long nInterval = bObject ? JsonSeconds(json, "interval", 5) : 5;
    if (nInterval < 1)
        nInterval = 5;
    const std::time_t tEnd = now() + code.nExpiresIn;
    const std::string strForm = FormEncode(
        {{"grant_type", kDeviceGrant}, {"client_id", strClient}, {"device_code", strDeviceCode}});
    while (now() < tEnd)
    {
        if (pause)
            pause(static_cast<int>(nInterval));
        std::string strOAuthError;
        if (TokenRequest(strForm, strOAuthError, strError))
            return true;
        if (strOAuthError == "authorization_pending")
            continue;
        if (strOAuthError == "slow_down")
        {
            nInterval += 5; // RFC 8628 section 3.5
            continue;
        }
        if (strOAuthError == "access_denied")
            strError = "サインインが拒否されました"; // troubleshooting
        else if (strOAuthError == "expired_token")
            break;
        return false;
    }
    strError = "コードの有効期限が切れました。もう一度サインインしてください"; // troubleshooting
    return false;
}

bool COAuthClient::SignInWithBrowser(const std::function<bool(const std::string& strUrl)>& open,
                                     int nTimeoutSeconds, std::string& strError)
{
    const std::string strVerifier = RandomToken(32); // 43 characters, RFC 7636 section 4.1
    const std::string strState = RandomToken(16);
    CLoopbackListener listener;
    if (strVerifier.empty() || strState.empty() || m_endpoints.strAuthorizeUrl.empty() ||
        !listener.Listen())
    {
        strError = "ブラウザでのサインインを始められません"; // troubleshooting
        return false;
    }
    const std::string strRedirect = "http://127.0.0.1:" + std::to_string(listener.Port()) + "/";
    const std::string strUrl =
        m_endpoints.strAuthorizeUrl +
        (m_endpoints.strAuthorizeUrl.find('?') == std::string::npos ? "?" : "&") +
        FormEncode({{"response_type", "code"},
                    {"client_id", m_settings.strClientId},
                    {"redirect_uri", strRedirect},
                    {"scope", m_endpoints.strScope},
                    {"state", strState},
                    {"code_challenge", CodeChallengeS256(strVerifier)},
                    {"code_challenge_method", "S256"}});
    if (!open(strUrl))
    {
        strError = "ブラウザを開けません"; // troubleshooting
        return false;
    }
    std::string strRequest;
    // Waited for a second at a time, so that a cancel is seen. A connection that sends no
    // request at all (a browser's speculative preconnect) is no request: the next one is
    // waited for.
    bool bHeard = false;
    for (int nSecond = 0, nEmpty = 0; !bHeard && nSecond < nTimeoutSeconds; ++nSecond)
    {
        if (cancelled && cancelled())
        {
            strError = "サインインを中止しました"; // the user's own cancel: not shown
            return false;
        }
        bHeard = listener.NextRequest(1, strRequest);
        if (bHeard && strRequest.empty() && nEmpty++ < 8)
            bHeard = false;
    }
    if (!bHeard)
    {
        strError = "ブラウザからの応答がないまま時間切れになりました"; // troubleshooting
        return false;
    }
    // "GET /?code=...&state=... HTTP/1.1"
    std::string strQuery;
    if (strRequest.rfind("GET /?", 0) == 0 && strRequest.find(' ', 6) != std::string::npos)
        strQuery = strRequest.substr(6, strRequest.find(' ', 6) - 6);
    const std::string strCode = QueryValue(strQuery, "code");
    if (strQuery.empty() || QueryValue(strQuery, "state") != strState)
    {
        listener.Reply(RedirectPage(400, u8"サインインを受け付けられません（不正な要求です）。"));
        listener.Close(); // one request only: whatever comes next is refused
        strError = "サインインの応答が正しくありません (state)"; // troubleshooting
        return false;
    }
    if (strCode.empty())
    {
        listener.Reply(RedirectPage(400, u8"サインインできませんでした。"));
        listener.Close();
        strError = "サインインが拒否されました (" + ServerText(QueryValue(strQuery, "error")) + ")";
        return false;
    }
    listener.Reply(
        RedirectPage(200, u8"サインインしました。このページを閉じて Tarvell に戻ってください。"));
    listener.Close();
    std::string strOAuthError;
    return TokenRequest(FormEncode({{"grant_type", "authorization_code"},
                                    {"code", strCode},
                                    {"redirect_uri", strRedirect},
                                    {"client_id", m_settings.strClientId},
                                    {"code_verifier", strVerifier}}),
                        strOAuthError, strError);
}

std::unique_ptr<IAccessTokenSource> MakeAccessTokenSource(const DeliveryProfile& profile,
                                                          const std::string& strAppDir,
                                                          ISocketFactory* pSockets)
{
    if (profile.auth != Authentication::oauth2)
        return nullptr;
    if (!profile.oauth.strTokenCommand.empty())
        return std::make_unique<CTokenCommandSource>(profile.oauth.strTokenCommand);
    OAuthSettings settings = profile.oauth;
    settings.bPopScope = UsesOAuthPop(profile);
    const std::string strCaFile =
        profile.strCaFile.empty() ? std::string() : ToOsPath(profile.strCaFile);
    // The client keeps its own factory of system sockets when none is given.
    struct COwningClient : COAuthClient
    {
        COwningClient(std::unique_ptr<ISocketFactory> p, const OAuthSettings& oauth,
                      const std::string& strFile, const std::string& strCa)
            : COAuthClient(*p, oauth, strFile, strCa), pOwn(std::move(p))
        {
        }
        std::unique_ptr<ISocketFactory> pOwn;
    };
    const std::string strFile = strAppDir + kOAuthTokenFileName;
    if (pSockets != nullptr)
        return std::make_unique<COAuthClient>(*pSockets, settings, strFile, strCaFile);
    return std::make_unique<COwningClient>(std::make_unique<CSystemSocketFactory>(), settings,
                                           strFile, strCaFile);
}
