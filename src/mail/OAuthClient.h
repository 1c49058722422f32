// OAuthClient.h - OAuth 2.0 access tokens for SMTP: the refresh token kept in its own file in the
// program folder (owner only, replaced through a temporary file), the access token kept in memory
// until 60 seconds before it runs out, a rotated refresh token saved at once; the device
// authorization grant (RFC 8628) to sign in from a terminal; or a helper program of the user's
// that prints an access token (OAuthTokenCommand=).
#pragma once
#include "app/AppFiles.h" // kOAuthTokenFileName
#include "mail/DeliveryProfile.h"
#include "mail/Socket.h"

#include <ctime>
#include <functional>
#include <memory>
#include <string>

// Where the send gets its access token (tests give fixed ones).
class IAccessTokenSource
{
  public:
    virtual ~IAccessTokenSource() = default;
    // A valid access token; false with the reason (CP932) the user sees.
    virtual bool AccessToken(std::string& strToken, std::string& strError) = 0;
};

// What a device sign-in shows the user: where to go and the code to type there.
struct DeviceCode
{
    std::string strUserCode;
    std::string strVerificationUrl;
    std::string strCompleteUrl; // the URL with the code in it, when the server gives one
    int nExpiresIn = 0;         // seconds
};

class COAuthClient : public IAccessTokenSource
{
  public:
    // sockets makes the connections to the authorization server; strTokenFile is the CP932 path
    // of the refresh token's file; strCaFile (an OS path, empty for none) adds trusted CAs.
    COAuthClient(ISocketFactory& sockets, OAuthSettings settings, std::string strTokenFile,
                 std::string strCaFile);

    bool AccessToken(std::string& strToken, std::string& strError) override;

    // Signs in with the device authorization grant: show is called once with the code, then the
    // token endpoint is polled at the server's interval (slower after slow_down) until the user
    // has signed in, refused, or the code expired. The refresh token is saved.
    bool SignInWithDevice(const std::function<void(const DeviceCode&)>& show,
                          std::string& strError);

    // Signs in with the authorization code grant, PKCE S256 (RFC 7636) and a loopback redirect
    // (RFC 8252): open is given the authorization URL for the browser (false: it could not be
    // opened). Exactly one request to the redirect is taken, the one with the right state; any
    // other request ends the sign-in refused. The wait ends after nTimeoutSeconds, or when
    // cancelled (asked once a second) says so.
    bool SignInWithBrowser(const std::function<bool(const std::string& strUrl)>& open,
                           int nTimeoutSeconds, std::string& strError);

    // Whether a refresh token is kept for these settings.
    bool SignedIn() const;
    // Forgets the tokens and removes the file (nothing when there is none).
    void SignOut();

    // The clock and the pause between polls (tests run them fast).
    std::function<std::time_t()> now = [] { return std::time(nullptr); };
    std::function<void(int nSeconds)> pause = SleepSeconds;
    static void SleepSeconds(int nSeconds);
    // Whether the user gave up the browser sign-in (empty: never).
    std::function<bool()> cancelled;

  private:
    // POSTs the form to the token endpoint; on success takes the access token, its expiry and
    // any new refresh token (saved at once). strOAuthError gets the server's "error" code.
    bool TokenRequest(const std::string& strForm, std::string& strOAuthError,
                      std::string& strError);
    std::string ReadRefreshToken() const;
    void SaveRefreshToken(const std::string& strToken) const;

    ISocketFactory& m_sockets;
    const OAuthSettings m_settings;
    const OAuthEndpoints m_endpoints;
    const std::string m_strTokenFile;
    const std::string m_strCaFile;
    std::string m_strAccessToken;
    std::time_t m_tExpires = 0;
};

// The access token a send uses, as the profile says: the helper program's when OAuthTokenCommand
// is given, else the client's (through the token file in strAppDir). nullptr without oauth2.
std::unique_ptr<IAccessTokenSource> MakeAccessTokenSource(const DeliveryProfile& profile,
                                                          const std::string& strAppDir,
                                                          ISocketFactory* pSockets = nullptr);
