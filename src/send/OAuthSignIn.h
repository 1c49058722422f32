// OAuthSignIn.h - the OAuth 2.0 part of the connection settings dialog, alike in both window
// shells: the provider choices, which fields apply to which provider, the checks of the fields
// with messages that name them, the line that tells whether a sign-in is kept, and the browser
// sign-in run on a worker thread while the shell's progress window goes on painting.
#pragma once
#include "mail/DeliveryProfile.h"

#include <functional>
#include <string>

class IPlatform;

// The dialog's OAuth fields, in their order on the dialog.
enum class OAuthField
{
    none,
    clientId,
    tenant,       // Microsoft only
    authorizeUrl, // custom only, like the two below and the scope
    tokenUrl,
    deviceUrl,
    scope,
};

// The longest text of each field, in bytes.
constexpr int kMaxOAuthText = 255;

// Every field, in the dialog's order.
constexpr OAuthField kOAuthFields[] = {OAuthField::clientId,     OAuthField::tenant,
                                       OAuthField::authorizeUrl, OAuthField::tokenUrl,
                                       OAuthField::deviceUrl,    OAuthField::scope};

// The field's label on the dialog ("クライアント ID" ...). CP932.
const char* OAuthFieldLabel(OAuthField field);
// The settings' text the field edits (none: the client ID).
std::string& OAuthFieldText(OAuthSettings& oauth, OAuthField field);

// Whether the field is used by the profile's provider (with Authentication=oauth2).
bool OAuthFieldApplies(const DeliveryProfile& profile, OAuthField field);

// The first field the dialog's OK refuses and the message naming it ("クライアント ID に空白や
// 全角文字は使えません。" ...); field none when every field that applies is fine. Only an oauth2
// profile is checked, and only the fields its provider uses.
struct OAuthFieldProblem
{
    OAuthField field = OAuthField::none;
    std::string strMessage;
};
OAuthFieldProblem CheckOAuthFields(const DeliveryProfile& profile);

// "サインイン..." applies: OAuth 2.0 chosen, a client ID given, no OAuthTokenCommand.
bool CanSignIn(const DeliveryProfile& profile);

// "サインイン済み: ACCOUNT" (without ": ACCOUNT" when strAccount is empty) when a refresh token
// for the profile's client and token endpoint is kept in the program folder, else "未サインイン";
// empty when the profile does not sign in itself (not oauth2, or OAuthTokenCommand). CP932.
std::string SignInStateText(const DeliveryProfile& profile, const std::string& strAppDir,
                            const std::string& strAccount);

// How long the browser sign-in waits for the browser's redirect.
constexpr int kBrowserSignInSeconds = 300;

// The shell's modal progress while the sign-in runs: it keeps painting, calls drain() at least
// every 10 ms until drain() returns true, and calls cancel() when the user gives up (the sign-in
// then ends within a second).
using SignInProgress =
    std::function<void(const std::function<bool()>& drain, const std::function<void()>& cancel)>;

// Signs in with the browser for the profile (the authorization code grant through the loopback
// redirect), the token kept in the program folder's token file as the send reads it. The work
// runs on a worker thread; the browser is opened with the platform's ShellOpen on the calling
// (window's) thread while progress runs. False when the sign-in did not succeed, with the
// message to show (CP932: "サインインできませんでした: " and the reason, the server's words
// included; a field's own message; empty when the user cancelled). A file error saving the
// token is raised here (CFileException), after the worker has ended.
bool SignInWithBrowserFor(IPlatform& platform, const DeliveryProfile& profile,
                          const std::string& strAppDir, const SignInProgress& progress,
                          std::string& strError);

// What the dialogs' サインイン... does: the sign-in above, a file error reported as every command
// reports one, and a failure's message shown.
void SignInFromDialog(IPlatform& platform, const DeliveryProfile& profile,
                      const std::string& strAppDir, const SignInProgress& progress);
