// OAuthSignInTest.cpp - the OAuth 2.0 fields of the connection settings: which the provider
// uses, what OK refuses with a message naming the field, the sign-in line, and a browser
// sign-in that cannot go on ending with its reason (or silently when the user cancelled).
#include "send/OAuthSignIn.h"

#include "app/FileSystem.h"
#include "mail/OAuthClient.h"
#include "support/ScriptedPlatform.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace
{
struct FieldCase
{
    const char* pszName;
    OAuthProvider provider;
    std::string strClientId;
    std::string strTenant;
    std::string strTokenUrl;
    std::string strScope;
    OAuthField expected;
    const char* pszMessage; // CP932 (core tests are compiled so)
};

std::ostream& operator<<(std::ostream& out, const FieldCase& row)
{
    return out << row.pszName;
}

DeliveryProfile ProfileOf(const FieldCase& row)
{
    DeliveryProfile profile;
    profile.smtp = SmtpSecurity::starttls;
    profile.auth = Authentication::oauth2;
    profile.oauth.provider = row.provider;
    profile.oauth.strClientId = row.strClientId;
    profile.oauth.strTenant = row.strTenant;
    profile.oauth.strTokenUrl = row.strTokenUrl;
    profile.oauth.strScope = row.strScope;
    return profile;
}

class OAuthFieldCheck : public ::testing::TestWithParam<FieldCase>
{
};

TEST_P(OAuthFieldCheck, FirstRefusedFieldIsNamed)
{
    const OAuthFieldProblem problem = CheckOAuthFields(ProfileOf(GetParam()));
    EXPECT_EQ(problem.field, GetParam().expected);
    EXPECT_EQ(problem.strMessage, GetParam().pszMessage);
}

const std::string kId = "00000000-0000-0000-0000-000000000000";
const std::string kUrl = "https://auth.example.jp/token";
constexpr OAuthProvider MS = OAuthProvider::microsoft;
constexpr OAuthProvider CUSTOM = OAuthProvider::custom;

INSTANTIATE_TEST_SUITE_P(
    Rows, OAuthFieldCheck,
    ::testing::Values(
        FieldCase{"MicrosoftFine", MS, kId, "common", "", "", OAuthField::none, ""},
        FieldCase{"NoClientId", MS, "", "common", "", "", OAuthField::clientId,
                  "クライアント ID を入力してください。"},
        FieldCase{"ClientIdWithBlank", MS, "abc 123", "common", "", "", OAuthField::clientId,
                  "クライアント ID に空白や全角文字は使えません。"},
        FieldCase{"ClientIdFullWidth", MS, "ａｂｃ", "common", "", "", OAuthField::clientId,
                  "クライアント ID に空白や全角文字は使えません。"},
        FieldCase{"ClientIdTooLong", MS, std::string(256, 'a'), "common", "", "",
                  OAuthField::clientId, "クライアント ID は 255 文字以内で入力してください。"},
        FieldCase{"ClientIdAtTheLimit", MS, std::string(255, 'a'), "common", "", "",
                  OAuthField::none, ""},
        FieldCase{"TenantWithBlank", MS, kId, "my tenant", "", "", OAuthField::tenant,
                  "テナントは英数字と . - だけで入力してください。"},
        FieldCase{"NoTenant", MS, kId, "", "", "", OAuthField::tenant,
                  "テナントを入力してください。"},
        FieldCase{"GoogleHasNoTenant", OAuthProvider::google, kId, "", "", "", OAuthField::none,
                  ""},
        FieldCase{"CustomFine", CUSTOM, kId, "", kUrl, "SMTP.Send offline_access", OAuthField::none,
                  ""},
        FieldCase{"CustomTokenUrlInClear", CUSTOM, kId, "", "http://auth.example.jp/token",
                  "SMTP.Send", OAuthField::tokenUrl,
                  "トークン URL は https:// で始まる URL で入力してください。"},
        FieldCase{"CustomNoScope", CUSTOM, kId, "", kUrl, "", OAuthField::scope,
                  "スコープを入力してください。"},
        FieldCase{"CustomScopeDoubleBlank", CUSTOM, kId, "", kUrl, "a  b", OAuthField::scope,
                  "スコープは英数字と記号を空白で区切って入力してください。"}),
    [](const testing::TestParamInfo<FieldCase>& paramInfo) {
        return std::string(paramInfo.param.pszName);
    });

TEST(OAuthFieldCheckTest, OnlyAnOAuthProfileIsCheckedAndAHelperNeedsNoClient)
{
    DeliveryProfile profile;
    profile.auth = Authentication::smtpAuth;
    profile.oauth.strClientId = "not checked";
    EXPECT_EQ(CheckOAuthFields(profile).field, OAuthField::none);
    profile.auth = Authentication::oauth2;
    profile.oauth.strClientId.clear();
    profile.oauth.strTokenCommand = "/usr/local/bin/get-token";
    EXPECT_EQ(CheckOAuthFields(profile).field, OAuthField::none);
    EXPECT_FALSE(CanSignIn(profile));
}

TEST(SignInStateTextTest, TellsWhetherTheClientsSignInIsKept)
{
    CTempFolder folder;
    DeliveryProfile profile;
    profile.auth = Authentication::oauth2;
    profile.oauth.strClientId = kId;
    EXPECT_EQ(SignInStateText(profile, folder.Dir(), "taro@example.jp"), "未サインイン");
    std::ofstream(folder.Path(kOAuthTokenFileName), std::ios::binary)
        << "ClientId=" << kId << "@" << EndpointsOf(profile.oauth).strTokenUrl
        << "\r\nRefreshToken=rt-1\r\n";
    EXPECT_EQ(SignInStateText(profile, folder.Dir(), "taro@example.jp"),
              "サインイン済み: taro@example.jp");
    EXPECT_EQ(SignInStateText(profile, folder.Dir(), ""), "サインイン済み");
    profile.oauth.provider = OAuthProvider::google; // another server's token is no sign-in
    EXPECT_EQ(SignInStateText(profile, folder.Dir(), "taro@example.jp"), "未サインイン");
    profile.auth = Authentication::smtpAuth;
    EXPECT_EQ(SignInStateText(profile, folder.Dir(), "taro@example.jp"), "");
}

// The progress as a shell runs it, without a window: drains until the worker has finished.
void RunProgress(IPlatform& platform, const std::function<bool()>& drain,
                 const std::function<void()>& cancel, bool bCancel)
{
    if (bCancel)
        cancel();
    while (!drain())
        platform.IPlatform::Pause(10); // a real wait (the scripted one only moves its clock)
}

TEST(SignInWithBrowserTest, ABrowserThatCannotOpenEndsWithTheReason)
{
    CTempFolder folder;
    CScriptedPlatform platform;
    platform.m_nextShellResults = {2};
    DeliveryProfile profile;
    profile.smtp = SmtpSecurity::starttls;
    profile.auth = Authentication::oauth2;
    profile.oauth.strClientId = kId;
    std::string strError;
    EXPECT_FALSE(SignInWithBrowserFor(
        platform, profile, folder.Dir(),
        [&](const auto& drain, const auto& cancel) { RunProgress(platform, drain, cancel, false); },
        strError));
    // (Where the redirect cannot be listened for, the sign-in cannot start at all.)
    EXPECT_EQ(strError.rfind("サインインできませんでした: ", 0), 0u) << strError;
    EXPECT_FALSE(IsRegularFile(folder.Path(kOAuthTokenFileName)));

    // A cancel ends the wait within a second, with nothing to tell.
    EXPECT_FALSE(SignInWithBrowserFor(
        platform, profile, folder.Dir(),
        [&](const auto& drain, const auto& cancel) { RunProgress(platform, drain, cancel, true); },
        strError));
    EXPECT_EQ(strError, "");

    profile.oauth.strClientId = "a b"; // refused before anything starts
    EXPECT_FALSE(SignInWithBrowserFor(
        platform, profile, folder.Dir(), [](const auto&, const auto&) { FAIL(); }, strError));
    EXPECT_EQ(strError, "クライアント ID に空白や全角文字は使えません。");
}
} // namespace
