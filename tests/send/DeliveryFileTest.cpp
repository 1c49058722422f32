// DeliveryFileTest.cpp - Delivery.ini: its keys and values, the refusal that names the key and
// value before any connection, the defaults when it is missing, and writing it back.
#include "send/DeliveryFile.h"

#include "SendFixture.h"

#include <gtest/gtest.h>

namespace
{
struct ProfileCase
{
    const char* pszText;
    const char* pszExpected; // FormatDeliveryProfile of the result, then "!" and the refusal
};

void PrintTo(const ProfileCase& row, std::ostream* pOut)
{
    *pOut << '"' << row.pszText << '"';
}

std::string Describe(const DeliveryProfile& profile)
{
    return FormatDeliveryProfile(profile) + "!" + profile.strRefused;
}

constexpr const char* kDefaults = "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-"
                                  "before-smtp\r\nCaFile=\r\nCharset=iso-2022-jp\r\n!";
} // namespace

class DeliveryProfileText : public ::testing::TestWithParam<ProfileCase>
{
};

TEST_P(DeliveryProfileText, Parses)
{
    EXPECT_EQ(Describe(ParseDeliveryProfile(GetParam().pszText)), GetParam().pszExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DeliveryProfileText,
    ::testing::Values(
        ProfileCase{"", kDefaults},
        // Nothing is skipped: an unknown key, an empty value, a BOM, NUL bytes or a duplicate key
        // refuse the file with its line (each could otherwise mean clear text).
        ProfileCase{"Unknown=1\nSmtpSecurity=\nXCaFile=/x\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-"
                    "smtp\r\nCaFile=\r\nCharset=iso-2022-jp\r\n!Unknown=1"},
        ProfileCase{"smtpsecurity=tls\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-"
                    "smtp\r\nCaFile=\r\nCharset=iso-2022-jp\r\n!smtpsecurity=tls"},
        ProfileCase{"SmtpSecurity=\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-"
                    "smtp\r\nCaFile=\r\nCharset=iso-2022-jp\r\n!SmtpSecurity="},
        ProfileCase{"SmtpSecurity: tls\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-"
                    "smtp\r\nCaFile=\r\nCharset=iso-2022-jp\r\n!SmtpSecurity: tls"},
        ProfileCase{"SmtpSecurity=none\nSmtpSecurity=tls\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-"
                    "smtp\r\nCaFile=\r\nCharset=iso-2022-jp\r\n!SmtpSecurity=tls"},
        ProfileCase{"\xEF\xBB\xBFSmtpSecurity=tls\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-"
                    "smtp\r\nCaFile=\r\nCharset=iso-2022-jp\r\n!(UTF-8 の BOM)"},
        ProfileCase{"# comment\n\n; too\nSmtpSecurity=tls\nPopSecurity=none\n",
                    "SmtpSecurity=tls\r\nPopSecurity=none\r\nAuthentication=pop-before-"
                    "smtp\r\nCaFile=\r\nCharset=iso-2022-jp\r\n!"},
        ProfileCase{"SmtpSecurity = starttls \r\nAuthentication=smtp-auth\r\nCaFile= /etc/ca.pem\n",
                    "SmtpSecurity=starttls\r\nPopSecurity=none\r\nAuthentication=smtp-auth\r\n"
                    "CaFile=/etc/ca.pem\r\nCharset=iso-2022-jp\r\n!"},
        ProfileCase{"SmtpSecurity=tls\nPopSecurity=tls\nAuthentication=none",
                    "SmtpSecurity=tls\r\nPopSecurity=tls\r\nAuthentication=none\r\nCaFile="
                    "\r\nCharset=iso-2022-jp\r\n!"},
        // A typo never drops encryption silently: the first unknown value is named.
        ProfileCase{"SmtpSecurity=startls\nPopSecurity=ssl\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-smtp\r\n"
                    "CaFile=\r\nCharset=iso-2022-jp\r\n!SmtpSecurity=startls"},
        ProfileCase{"Charset = utf-8\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-smtp\r\n"
                    "CaFile=\r\nCharset=utf-8\r\n!"},
        ProfileCase{"Charset=utf8\n", "SmtpSecurity=none\r\nPopSecurity=none\r\n"
                                      "Authentication=pop-before-smtp\r\nCaFile=\r\n"
                                      "Charset=iso-2022-jp\r\n!Charset=utf8"},
        ProfileCase{"Authentication=SMTP-AUTH\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-smtp\r\n"
                    "CaFile=\r\nCharset=iso-2022-jp\r\n!Authentication=SMTP-AUTH"},
        // OAuth 2.0: a token only over TLS, a client ID of the user's own, https endpoints.
        ProfileCase{"SmtpSecurity=starttls\nAuthentication=oauth2\nOAuthClientId=abc-123\n",
                    "SmtpSecurity=starttls\r\nPopSecurity=none\r\nAuthentication=oauth2\r\n"
                    "CaFile=\r\nCharset=iso-2022-jp\r\nOAuthProvider=microsoft\r\n"
                    "OAuthClientId=abc-123\r\nOAuthTenant=common\r\nOAuthAuthorizeUrl=\r\n"
                    "OAuthTokenUrl=\r\nOAuthDeviceUrl=\r\nOAuthScope=\r\n"
                    "OAuthTokenCommand=\r\n!"},
        ProfileCase{"Authentication=oauth2\nOAuthClientId=abc\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-smtp\r\n"
                    "CaFile=\r\nCharset=iso-2022-jp\r\n!Authentication=oauth2(SmtpSecurity="
                    "starttls か tls が必要です)"},
        ProfileCase{"SmtpSecurity=tls\nAuthentication=oauth2\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-smtp\r\n"
                    "CaFile=\r\nCharset=iso-2022-jp\r\n!OAuthClientId=(登録したアプリのクライアン"
                    "ト ID が必要です)"},
        ProfileCase{"SmtpSecurity=tls\nAuthentication=oauth2\nOAuthProvider=Google\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-smtp\r\n"
                    "CaFile=\r\nCharset=iso-2022-jp\r\n!OAuthProvider=Google"},
        ProfileCase{"SmtpSecurity=tls\nAuthentication=oauth2\nOAuthClientId=a\nOAuthTenant=a/b\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-smtp\r\n"
                    "CaFile=\r\nCharset=iso-2022-jp\r\n!OAuthTenant=a/b(英数字と . - だけです)"},
        ProfileCase{"SmtpSecurity=tls\nAuthentication=oauth2\nOAuthClientId=a\n"
                    "OAuthProvider=custom\nOAuthTokenUrl=http://idp.example/token\nOAuthScope=x\n",
                    "SmtpSecurity=none\r\nPopSecurity=none\r\nAuthentication=pop-before-smtp\r\n"
                    "CaFile=\r\nCharset=iso-2022-jp\r\n!OAuthTokenUrl=http://idp.example/token"
                    "(https:// で始まる URL が必要です)"},
        // A helper that prints the token needs nothing else.
        ProfileCase{
            "SmtpSecurity=tls\nAuthentication=oauth2\nOAuthTokenCommand=get-token 'my id'\n",
            "SmtpSecurity=tls\r\nPopSecurity=none\r\nAuthentication=oauth2\r\n"
            "CaFile=\r\nCharset=iso-2022-jp\r\nOAuthProvider=microsoft\r\n"
            "OAuthClientId=\r\nOAuthTenant=common\r\nOAuthAuthorizeUrl=\r\n"
            "OAuthTokenUrl=\r\nOAuthDeviceUrl=\r\nOAuthScope=\r\n"
            "OAuthTokenCommand=get-token 'my id'\r\n!"}));

TEST(OAuthEndpoints, PresetsNameTheProvidersEndpoints)
{
    OAuthSettings oauth;
    oauth.strTenant = "contoso.onmicrosoft.com";
    const OAuthEndpoints microsoft = EndpointsOf(oauth);
    EXPECT_EQ(microsoft.strTokenUrl,
              "https://login.microsoftonline.com/contoso.onmicrosoft.com/oauth2/v2.0/token");
    EXPECT_EQ(microsoft.strScope, "https://outlook.office.com/SMTP.Send offline_access");
    oauth.bPopScope = true; // POP3 logged in with the token as well
    EXPECT_EQ(EndpointsOf(oauth).strScope, "https://outlook.office.com/SMTP.Send "
                                           "https://outlook.office.com/POP.AccessAsUser.All "
                                           "offline_access");
    oauth.provider = OAuthProvider::google;
    EXPECT_EQ(EndpointsOf(oauth).strDeviceUrl, "https://oauth2.googleapis.com/device/code");
}

// What a profile makes of POP3 and of the wait between a group's members: a token goes to POP3
// only over TLS, and the Microsoft preset waits 2 seconds unless SendInterval says otherwise.
struct UseCase
{
    const char* pszName;
    const char* pszText;
    bool bOAuthPop;
    int nInterval;
};

void PrintTo(const UseCase& row, std::ostream* pOut)
{
    *pOut << row.pszName;
}

class DeliveryUse : public ::testing::TestWithParam<UseCase>
{
};

TEST_P(DeliveryUse, PopLogInAndSendInterval)
{
    const DeliveryProfile profile = ParseDeliveryProfile(GetParam().pszText);
    ASSERT_EQ(profile.strRefused, "");
    EXPECT_EQ(UsesOAuthPop(profile), GetParam().bOAuthPop);
    // Written back, the file means the same (a SendInterval=0 read stays written).
    EXPECT_EQ(EffectiveSendInterval(ParseDeliveryProfile(FormatDeliveryProfile(profile))),
              GetParam().nInterval);
}

#define OAUTH_MS "SmtpSecurity=starttls\nAuthentication=oauth2\nOAuthClientId=a\n"
INSTANTIATE_TEST_SUITE_P(
    Rows, DeliveryUse,
    ::testing::Values(UseCase{"MicrosoftWaits", OAUTH_MS, false, 2},
                      UseCase{"MicrosoftGivenZero", OAUTH_MS "SendInterval=0\n", false, 0},
                      UseCase{"GoogleDoesNotWait", OAUTH_MS "OAuthProvider=google\n", false, 0},
                      UseCase{"PopOverTls", OAUTH_MS "PopSecurity=tls\n", true, 2},
                      UseCase{"NoPopInClear", OAUTH_MS "PopSecurity=none\n", false, 2},
                      UseCase{"PopBeforeSmtpIsNoTokenLogIn", "SmtpSecurity=tls\nPopSecurity=tls\n",
                              false, 0}),
    [](const ::testing::TestParamInfo<UseCase>& paramInfo) { return paramInfo.param.pszName; });
#undef OAUTH_MS

using DeliveryFile = SendFixture;

TEST_F(DeliveryFile, MissingMeansDefaultsAndWrittenFileReadsBack)
{
    const std::string strPath = m_strAppDir + kDeliveryFileName;
    EXPECT_EQ(Describe(ReadDeliveryProfile(strPath)), kDefaults);
    DeliveryProfile profile;
    profile.smtp = SmtpSecurity::tls;
    profile.auth = Authentication::smtpAuth;
    profile.strCaFile = "/home/太郎/ca.pem";
    WriteDeliveryProfile(strPath, profile);
    EXPECT_EQ(Read(kDeliveryFileName), FormatDeliveryProfile(profile));
    EXPECT_EQ(Describe(ReadDeliveryProfile(strPath)), Describe(profile));
    Write(kDeliveryFileName, std::string(MAX_DELIVERY_FILE_SIZE + 1, '#'));
    EXPECT_EQ(ReadDeliveryProfile(strPath).strRefused, "(4096 バイトを超えています)");
}

// A refused value fails the attempt before any connection, and the status names key and value.
TEST_F(DeliveryFile, RefusedValueFailsTheSendAndNamesKeyAndValue)
{
    Write(kDeliveryFileName, "SmtpSecurity=starttls\r\nAuthentication=smpt-auth\r\n");
    Write("body.txt", "Hello\r\n");
    SetField(m_pDoc->m_sender.szMailAddress, "taro@example.jp");
    SetField(m_pDoc->m_sender.szSmtpServer, "127.0.0.1:1"); // never reached
    SetField(m_pDoc->m_sender.szPop3Server, "127.0.0.1:1");
    FillForm("Hanako", "hanako@example.jp", "Hi", m_strAppDir + "body.txt");
    m_pForm->OnSend();
    EXPECT_EQ(m_pForm->Status(), "Hanako 添付ファイルなし送信開始-送信失敗-Delivery.iniの値 "
                                 "Authentication=smpt-auth は使えません");
    EXPECT_EQ(m_pForm->Tally().nFailed, 1);
}
