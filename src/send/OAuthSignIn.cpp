// OAuthSignIn.cpp - the OAuth 2.0 fields of the connection settings and the browser sign-in.
#include "send/OAuthSignIn.h"

#include "app/Command.h"
#include "app/FileError.h"
#include "app/Platform.h"
#include "mail/OAuthClient.h"
#include "send/GuiThreadPlatform.h"
#include "send/SendMailbox.h"

#include <exception>
#include <memory>
#include <system_error>
#include <thread>

namespace
{
// Printable ASCII, no blanks (bBlanks: single blanks between words allowed).
bool IsPlainAscii(const std::string& strText, bool bBlanks)
{
    for (std::size_t i = 0; i < strText.size(); ++i)
    {
        const char c = strText[i];
        const bool bBlank =
            bBlanks && c == ' ' && i > 0 && i + 1 < strText.size() && strText[i - 1] != ' ';
        if ((c < 0x21 || c > 0x7E) && !bBlank)
            return false;
    }
    return true;
}

bool IsTenantText(const std::string& strText)
{
    return strText.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                     "0123456789.-") == std::string::npos;
}

// "クライアント ID" + " を入力してください。": a blank after the labels that end in "ID" or
// "URL", none after テナント and スコープ.
std::string Named(OAuthField field, const char* pszRest)
{
    std::string strText = OAuthFieldLabel(field);
    if (field != OAuthField::tenant && field != OAuthField::scope)
        strText.append(" ");
    return strText.append(pszRest);
}

// The message for one field's text; empty when it is fine.
std::string FieldProblem(OAuthField field, const std::string& strText, bool bNeeded)
{
    if (strText.empty())
        return bNeeded ? Named(field, "を入力してください。") : std::string(); // troubleshooting
    if (strText.size() > static_cast<std::size_t>(kMaxOAuthText))
        return Named(field, "は 255 文字以内で入力してください。"); // troubleshooting
    switch (field)
    {
    case OAuthField::tenant:
        return IsTenantText(strText)
                   ? std::string()
                   : Named(field, "は英数字と . - だけで入力してください。"); // troubleshooting
    case OAuthField::authorizeUrl:
    case OAuthField::tokenUrl:
    case OAuthField::deviceUrl:
        return strText.rfind("https://", 0) == 0 && strText.size() > 8 &&
                       IsPlainAscii(strText, false)
                   ? std::string()
                   : Named(field,
                           "は https:// で始まる URL で入力してください。"); // troubleshooting
    case OAuthField::scope:
        return IsPlainAscii(strText, true)
                   ? std::string()
                   : Named(field,
                           "は英数字と記号を空白で区切って入力してください。"); // troubleshooting
    default:
        return IsPlainAscii(strText, false)
                   ? std::string()
                   : Named(field, "に空白や全角文字は使えません。"); // troubleshooting
    }
}
} // namespace

std::string& OAuthFieldText(OAuthSettings& oauth, OAuthField field)
{
    switch (field)
    {
    case OAuthField::tenant:
        return oauth.strTenant;
    case OAuthField::authorizeUrl:
        return oauth.strAuthorizeUrl;
    case OAuthField::tokenUrl:
        return oauth.strTokenUrl;
    case OAuthField::deviceUrl:
        return oauth.strDeviceUrl;
    case OAuthField::scope:
        return oauth.strScope;
    default:
        return oauth.strClientId;
    }
}

const char* OAuthFieldLabel(OAuthField field)
{
    switch (field)
    {
    case OAuthField::clientId:
        return "クライアント ID";
    case OAuthField::tenant:
        return "テナント";
    case OAuthField::authorizeUrl:
        return "認可 URL";
    case OAuthField::tokenUrl:
        return "トークン URL";
    case OAuthField::deviceUrl:
        return "デバイス URL";
    case OAuthField::scope:
        return "スコープ";
    default:
        return "";
    }
}

bool OAuthFieldApplies(const DeliveryProfile& profile, OAuthField field)
{
    if (profile.auth != Authentication::oauth2 || field == OAuthField::none)
        return false;
    switch (field)
    {
    case OAuthField::clientId:
        return true;
    case OAuthField::tenant:
        return profile.oauth.provider == OAuthProvider::microsoft;
    default:
        return profile.oauth.provider == OAuthProvider::custom;
    }
}

OAuthFieldProblem CheckOAuthFields(const DeliveryProfile& profile)
{
    // A profile whose helper program prints the token needs no client of its own.
    const bool bOwnClient = profile.oauth.strTokenCommand.empty();
    OAuthSettings oauth = profile.oauth;
    for (const OAuthField field : kOAuthFields)
    {
        if (!OAuthFieldApplies(profile, field))
            continue;
        const bool bNeeded =
            bOwnClient && (field == OAuthField::clientId || field == OAuthField::tenant ||
                           field == OAuthField::tokenUrl || field == OAuthField::scope);
        std::string strMessage = FieldProblem(field, OAuthFieldText(oauth, field), bNeeded);
        if (!strMessage.empty())
            return OAuthFieldProblem{field, std::move(strMessage)};
    }
    return OAuthFieldProblem{};
}

bool CanSignIn(const DeliveryProfile& profile)
{
    return profile.auth == Authentication::oauth2 && !profile.oauth.strClientId.empty() &&
           profile.oauth.strTokenCommand.empty();
}

std::string SignInStateText(const DeliveryProfile& profile, const std::string& strAppDir,
                            const std::string& strAccount)
{
    if (profile.auth != Authentication::oauth2 || !profile.oauth.strTokenCommand.empty())
        return std::string();
    bool bSignedIn = false;
    if (!profile.oauth.strClientId.empty())
    {
        const std::unique_ptr<IAccessTokenSource> pSource =
            MakeAccessTokenSource(profile, strAppDir);
        try
        {
            bSignedIn = static_cast<const COAuthClient&>(*pSource).SignedIn();
        }
        catch (const CFileException&)
        {
            bSignedIn = false; // a token file that cannot be read is no sign-in to show
        }
    }
    if (!bSignedIn)
        return "未サインイン";
    return strAccount.empty() ? std::string("サインイン済み")
                              : std::string("サインイン済み: ").append(strAccount);
}

bool SignInWithBrowserFor(IPlatform& platform, const DeliveryProfile& profile,
                          const std::string& strAppDir, const SignInProgress& progress,
                          std::string& strError)
{
    strError.clear();
    const OAuthFieldProblem problem = CheckOAuthFields(profile);
    if (!problem.strMessage.empty() || !CanSignIn(profile))
    {
        strError = problem.strMessage.empty() ? Named(OAuthField::clientId, "を入力してください。")
                                              : problem.strMessage;
        return false;
    }
    const std::unique_ptr<IAccessTokenSource> pSource = MakeAccessTokenSource(profile, strAppDir);
    auto& client = static_cast<COAuthClient&>(*pSource);
    CSendCancel cancel;
    client.cancelled = [&cancel] { return cancel.Requested(); };
    CSendMailbox mailbox;
    // ShellOpen on the window's thread.
    CGuiThreadPlatform windowPlatform(platform, mailbox, cancel);
    bool bSigned = false;
    std::exception_ptr pError;
    const auto signIn = [&] {
        try
        {
            bSigned = client.SignInWithBrowser(
                [&windowPlatform](const std::string& strUrl) {
                    return windowPlatform.ShellOpen(strUrl, std::string()) > 32;
                },
                kBrowserSignInSeconds, strError);
        }
        catch (...)
        {
            pError = std::current_exception();
        }
        mailbox.Finish();
    };
    std::thread worker;
    try
    {
        worker = std::thread(signIn);
    }
    catch (const std::system_error&)
    {
        signIn(); // no thread to wait on: the window waits frozen instead
    }
    if (worker.joinable())
    {
        std::exception_ptr pProgressError;
        try
        {
            progress([&mailbox] { return mailbox.Drain(); }, [&cancel] { cancel.Request(); });
        }
        catch (...)
        {
            pProgressError = std::current_exception();
        }
        // A progress that ended before the worker did gives the sign-in up, and what the worker
        // still hands over is run until it has ended: nothing is left waiting for an answer.
        if (!mailbox.Drain())
        {
            cancel.Request();
            while (!mailbox.Drain())
                platform.IPlatform::Pause(10);
        }
        worker.join();
        if (pProgressError)
            std::rethrow_exception(pProgressError);
    }
    if (pError)
        std::rethrow_exception(pError);
    if (bSigned || cancel.Requested())
        strError.clear(); // the user's own cancel needs no message
    else
        strError = "サインインできませんでした: " + strError; // troubleshooting
    return bSigned;
}

void SignInFromDialog(IPlatform& platform, const DeliveryProfile& profile,
                      const std::string& strAppDir, const SignInProgress& progress)
{
    std::string strError;
    bool bSigned = false;
    RunCommand(platform, [&] {
        bSigned = SignInWithBrowserFor(platform, profile, strAppDir, progress, strError);
    });
    if (!bSigned && !strError.empty())
        platform.ShowMessage(strError, MsgButtons::Ok);
}
