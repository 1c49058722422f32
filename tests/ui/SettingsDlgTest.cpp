// SettingsDlgTest.cpp - the sender settings and options dialogs as the menu runs them: OK
// stores into the document's records, Cancel leaves them untouched, lengths are CP932 bytes,
// and the folder pickers drop their preset name.
#include "ui/MainFrame.h"

#include "UiTest.h"
#include "app/Sjis.h"
#include "ui/OptionDlg.h"
#include "send/SendForm.h"
#include "ui/DeliveryDlg.h"
#include "ui/SenderDlg.h"
#include "mail/OAuthClient.h"
#include "mail/OAuthHttp.h"
#include "mail/SystemSocket.h"
#include "support/BrowserVisit.h"
#include "support/FakeOAuthServer.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QSpinBox>
#include <QLabel>

#include <cstring>
#include <fstream>
#include <thread>

namespace
{
class SettingsDlgTest : public UiTest
{
  protected:
    SettingsDlgTest() : m_frame(*m_pDoc, m_platform) {}

    CMainFrame m_frame;
};

const char* const SENDER_EDITS[] = {"m_strName",       "m_strMailAddress", "m_strSmtpServer",
                                    "m_strPop3Server", "m_strLoginName",   "m_strPassword"};

TEST_F(SettingsDlgTest, SenderOkStoresAllSixFieldsAndEndsTheStartMode)
{
    SetField(m_pDoc->m_sender.szName, SJ(u"旧名"));
    SetField(m_pDoc->m_sender.szPassword, "secret");
    m_pDoc->SetStartModeForTest(START_RUNNING + START_SENDER);
    WhenDialogRuns<CSenderDlg>(m_platform, [](CSenderDlg& dlg) {
        EXPECT_EQ(Text(dlg, "m_strName"), QStringLiteral(u"旧名"));
        EXPECT_EQ(Child<QLineEdit>(dlg, "m_strPassword")->echoMode(), QLineEdit::Password);
        EXPECT_TRUE(Child<QAbstractButton>(dlg, "m_btnOK")->hasFocus() || !dlg.isActiveWindow());
        const QString values[] = {QStringLiteral(u"山田 太郎"),
                                  QStringLiteral("me@example.jp"),
                                  QStringLiteral("smtp.example.jp:587"),
                                  QStringLiteral("pop.example.jp"),
                                  QStringLiteral("yamada"),
                                  QString()};
        for (int i = 0; i < 6; ++i)
            SetText(dlg, SENDER_EDITS[i], values[i]);
        Click(dlg, "m_btnOK");
    });
    m_frame.SendCommand(ID_SENDER_SETTINGS);
    EXPECT_EQ(m_platform.m_dialogTitles, std::vector<std::string>{SJ(u"発送元設定")});
    const SenderInf& sender = m_pDoc->m_sender;
    EXPECT_EQ(FieldText(sender.szName), SJ(u"山田 太郎"));
    EXPECT_STREQ(sender.szMailAddress, "me@example.jp");
    EXPECT_STREQ(sender.szSmtpServer, "smtp.example.jp:587");
    EXPECT_STREQ(sender.szPop3Server, "pop.example.jp");
    EXPECT_STREQ(sender.szLoginName, "yamada");
    EXPECT_STREQ(sender.szPassword, ""); // empty fields are stored as empty
    EXPECT_EQ(m_pDoc->GetStartMode(), START_NONE);
}

TEST_F(SettingsDlgTest, SenderCancelLeavesTheRecordByteForByte)
{
    std::memset(static_cast<void*>(&m_pDoc->m_sender), 0x41,
                sizeof(SenderInf)); // every field full, no NUL
    for (char* psz :
         {m_pDoc->m_sender.szName, m_pDoc->m_sender.szSmtpServer, m_pDoc->m_sender.szPop3Server,
          m_pDoc->m_sender.szLoginName, m_pDoc->m_sender.szPassword})
        psz[127] = '\0';
    m_pDoc->m_sender.szMailAddress[255] = '\0';
    const SenderInf before = m_pDoc->m_sender;
    m_pDoc->SetStartModeForTest(START_RUNNING + START_SENDER);
    WhenDialogRuns<CSenderDlg>(m_platform, [](CSenderDlg& dlg) {
        SetText(dlg, "m_strName", QStringLiteral("changed"));
        Click(dlg, "m_btnCancel");
    });
    m_frame.SendCommand(ID_SENDER_SETTINGS);
    EXPECT_EQ(std::memcmp(&before, &m_pDoc->m_sender, sizeof(SenderInf)), 0);
    EXPECT_EQ(m_pDoc->GetStartMode(), START_NONE);
}

TEST_F(SettingsDlgTest, SenderLimitsCountBytesAndKeepTheDialogOpen)
{
    WhenDialogRuns<CSenderDlg>(m_platform, [](CSenderDlg& dlg) {
        SetText(dlg, "m_strMailAddress", QString(255, QLatin1Char('m'))); // exactly 255: fine
        SetText(dlg, "m_strName", Repeat(QStringLiteral(u"名"), 64));     // 128 bytes: one over
        Click(dlg, "m_btnOK");
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_TRUE(Child<QLineEdit>(dlg, "m_strName")->hasFocus() || !dlg.isActiveWindow());
        SetText(dlg, "m_strName", Repeat(QStringLiteral(u"名"), 63));
        Click(dlg, "m_btnOK");
        EXPECT_FALSE(dlg.isVisible());
    });
    m_frame.SendCommand(ID_SENDER_SETTINGS);
    EXPECT_EQ(m_platform.m_messages,
              std::vector<std::string>{SJ(u"127 文字以内で入力してください。")});
    EXPECT_EQ(std::strlen(m_pDoc->m_sender.szMailAddress), 255u);
    EXPECT_EQ(std::strlen(m_pDoc->m_sender.szName), 126u);
}

TEST_F(SettingsDlgTest, OptionsOkStoresCancelDoesNotAndBothEndTheStartMode)
{
    SetField(m_pDoc->m_cfg.szEditorPath, "/usr/bin/vi");
    for (bool bOk : {false, true})
    {
        m_pDoc->SetStartModeForTest(START_RUNNING + START_OPTIONS);
        WhenDialogRuns<COptionDlg>(m_platform, [bOk](COptionDlg& dlg) {
            EXPECT_EQ(Text(dlg, "m_strEditorPath"), QStringLiteral("/usr/bin/vi"));
            SetText(dlg, "m_strEditorPath", QString());
            SetText(dlg, "m_strTextFileDir", QStringLiteral(u"/メール/本文/"));
            Click(dlg, bOk ? "m_btnOK" : "m_btnCancel");
        });
        m_frame.SendCommand(ID_OPTIONS);
        EXPECT_EQ(m_pDoc->GetStartMode(), START_NONE);
        EXPECT_EQ(FieldText(m_pDoc->m_cfg.szEditorPath), bOk ? "" : "/usr/bin/vi");
        EXPECT_EQ(FieldText(m_pDoc->m_cfg.szTextFileDir), bOk ? SJ(u"/メール/本文/") : "");
    }
    EXPECT_EQ(m_platform.m_dialogTitles, std::vector<std::string>(2, SJ(u"オプション")));
}

TEST_F(SettingsDlgTest, OptionsBrowseForAProgramAndForRealFolders)
{
    m_platform.m_nextFiles = {
        FileDialogResult{true, "/usr/bin/mousepad", "mousepad"},
        FileDialogResult{true, SJ(u"/home/me/本文/"), SJ(u"本文")},
        FileDialogResult{true, m_folder.Dir(), ""},
        FileDialogResult{},
        FileDialogResult{},
    };
    WhenDialogRuns<COptionDlg>(m_platform, [](COptionDlg& dlg) {
        SetText(dlg, "m_strBinFileDir", QStringLiteral("/typed/"));
        Click(dlg, "m_btnEditorPath");
        Click(dlg, "m_btnTextFileDir");
        Click(dlg, "m_btnBinFileDir");
        EXPECT_EQ(Text(dlg, "m_strEditorPath"), QStringLiteral("/usr/bin/mousepad"));
        EXPECT_EQ(Text(dlg, "m_strTextFileDir"), QStringLiteral(u"/home/me/本文/"));
        Click(dlg, "m_btnBinFileDir"); // cancelled: the field stays
        Click(dlg, "m_btnEditorPath"); // cancelled, starting where the editor lives
        Click(dlg, "m_btnOK");
    });
    m_frame.SendCommand(ID_OPTIONS);
    ASSERT_EQ(m_platform.m_fileDialogs.size(), 5u);
    const FileDialogRequest& editor = m_platform.m_fileDialogs[0];
    EXPECT_EQ(editor.strTitle, SJ(u"メール編集で使用するテキストエディタの選択"));
    EXPECT_EQ(editor.strStartDir, "/usr/bin/");
    EXPECT_EQ(editor.strFilter, SJ(u"実行ファイル|*|全て(*.*)|*.*||"));
    EXPECT_TRUE(editor.bExecutablesOnly && editor.bMustExist && !editor.bFolder);
    const FileDialogRequest& folder = m_platform.m_fileDialogs[1];
    EXPECT_EQ(folder.strTitle, SJ(u"本文ファイルの選択用フォルダ"));
    EXPECT_EQ(folder.strStartDir, m_folder.Dir()); // the field's folder does not exist
    EXPECT_TRUE(folder.bFolder);
    EXPECT_EQ(m_platform.m_fileDialogs[2].strTitle, SJ(u"添付ファイルの選択用フォルダ"));
    EXPECT_EQ(m_platform.m_fileDialogs[3].strStartDir, m_folder.Dir()); // the folder chosen
    EXPECT_STREQ(m_pDoc->m_cfg.szTextFileDir, SJ(u"/home/me/本文/").c_str());
    EXPECT_STREQ(m_pDoc->m_cfg.szBinFileDir, m_folder.Dir().c_str());
}

TEST_F(SettingsDlgTest, OptionsRefuseAFolderTooLongForTheSettingsRecord)
{
    WhenDialogRuns<COptionDlg>(m_platform, [](COptionDlg& dlg) {
        SetText(dlg, "m_strBinFileDir",
                QLatin1Char('/') + Repeat(QStringLiteral(u"長"), 128)); // 257 bytes
        Click(dlg, "m_btnOK");
        EXPECT_TRUE(dlg.isVisible());
    });
    m_frame.SendCommand(ID_OPTIONS);
    EXPECT_EQ(m_platform.m_messages,
              std::vector<std::string>{SJ(u"255 文字以内で入力してください。")});
    EXPECT_STREQ(m_pDoc->m_cfg.szBinFileDir, "");
}
} // namespace

namespace
{
std::string ReadDeliveryIni(const std::string& strAppDir)
{
    std::ifstream file(strAppDir + "Delivery.ini", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}
} // namespace

// "接続設定..." in the sender settings opens the connection settings: it shows Delivery.ini, its
// ports line, password warning and enabled controls follow the choices, and the file is written
// only when both dialogs end with OK; a Cancel of either leaves it byte for byte.
TEST_F(SettingsDlgTest, ConnectionSettingsWriteDeliveryIniOnOkOnly)
{
    const std::string strAppDir = m_folder.Dir(); // ASCII, so also the OS path
    std::ofstream(strAppDir + "Delivery.ini") << "Authentication=smtp-auth\n";
    const std::string strOriginal = ReadDeliveryIni(strAppDir);
    const char* pszSenderButton = "m_btnCancel";
    const auto openConnectionSettings = [this,
                                         &pszSenderButton](std::function<void(CDeliveryDlg&)> act) {
        WhenDialogRuns<CSenderDlg>(m_platform, [&pszSenderButton](CSenderDlg& dlg) {
            Click(dlg, "m_btnDelivery");
            Click(dlg, pszSenderButton);
        });
        WhenDialogRuns<CDeliveryDlg>(m_platform, act);
        m_frame.SendCommand(ID_SENDER_SETTINGS);
    };

    openConnectionSettings([](CDeliveryDlg& dlg) {
        const auto label = [&dlg](const char* pszName) {
            return Child<QLabel>(dlg, pszName)->text();
        };
        EXPECT_EQ(Child<QComboBox>(dlg, "m_comboAuth")->currentIndex(), 1);
        EXPECT_TRUE(
            label("m_labelPorts").startsWith(QStringLiteral(u"使用するポート: SMTP 587 (")));
        EXPECT_EQ(label("m_labelWarning"),
                  QStringLiteral(u"注意: パスワードは暗号化されずにSMTPサーバへ送られます。"));
        Child<QComboBox>(dlg, "m_comboSmtp")->setCurrentIndex(2); // SSL/TLS
        EXPECT_TRUE(
            label("m_labelPorts").startsWith(QStringLiteral(u"使用するポート: SMTP 465 (")));
        EXPECT_EQ(label("m_labelWarning"), QString());
        // SMTP AUTH uses no POP3; the CA file applies once TLS is chosen.
        EXPECT_FALSE(Child<QComboBox>(dlg, "m_comboPop")->isEnabled());
        EXPECT_TRUE(Child<QWidget>(dlg, "m_strCaFile")->isEnabled());
        SetText(dlg, "m_strCaFile", QStringLiteral("/etc/ssl/private-ca.pem"));
        Click(dlg, "m_btnOK");
    });
    // OK in 接続設定, then Cancel in 発送元設定: nothing is written.
    EXPECT_EQ(ReadDeliveryIni(strAppDir), strOriginal);

    pszSenderButton = "m_btnOK";
    openConnectionSettings([](CDeliveryDlg& dlg) {
        Child<QComboBox>(dlg, "m_comboSmtp")->setCurrentIndex(2);
        SetText(dlg, "m_strCaFile", QStringLiteral("/etc/ssl/private-ca.pem"));
        EXPECT_EQ(Child<QComboBox>(dlg, "m_comboCharset")->currentIndex(), 0); // ISO-2022-JP
        Child<QComboBox>(dlg, "m_comboCharset")->setCurrentIndex(1);
        Child<QSpinBox>(dlg, "m_spinInterval")->setValue(5);
        Click(dlg, "m_btnOK");
    });
    const std::string strWritten =
        "SmtpSecurity=tls\r\nPopSecurity=none\r\nAuthentication=smtp-auth"
        "\r\nCaFile=/etc/ssl/private-ca.pem\r\nCharset=utf-8\r\nSendInterval=5\r\n";
    EXPECT_EQ(ReadDeliveryIni(strAppDir), strWritten);

    openConnectionSettings([](CDeliveryDlg& dlg) {
        EXPECT_EQ(Child<QComboBox>(dlg, "m_comboSmtp")->currentIndex(), 2);
        EXPECT_EQ(Child<QSpinBox>(dlg, "m_spinInterval")->value(), 5);
        Child<QComboBox>(dlg, "m_comboPop")->setCurrentIndex(1);
        Click(dlg, "m_btnCancel");
    });
    EXPECT_EQ(ReadDeliveryIni(strAppDir), strWritten);
    EXPECT_EQ(m_platform.m_dialogTitles,
              (std::vector<std::string>{SJ(u"発送元設定"), SJ(u"接続設定"), SJ(u"発送元設定"),
                                        SJ(u"接続設定"), SJ(u"発送元設定"), SJ(u"接続設定")}));

    // Without TLS the CA file does not apply; its picker starts in the current file's folder.
    m_platform.m_nextFiles = {FileDialogResult{}};
    openConnectionSettings([](CDeliveryDlg& dlg) {
        Child<QComboBox>(dlg, "m_comboAuth")->setCurrentIndex(0); // POP before SMTP
        EXPECT_TRUE(Child<QComboBox>(dlg, "m_comboPop")->isEnabled());
        Click(dlg, "m_btnCaFile");
        Child<QComboBox>(dlg, "m_comboSmtp")->setCurrentIndex(0);
        EXPECT_FALSE(Child<QWidget>(dlg, "m_strCaFile")->isEnabled());
        Click(dlg, "m_btnCancel");
    });
    EXPECT_EQ(m_platform.m_fileDialogs.back().strStartDir, "/etc/ssl/");
}

// A profile set up for OAuth 2.0 with tarvell-config goes through the dialog's OK unchanged.
TEST_F(SettingsDlgTest, ConnectionSettingsKeepAnOAuthProfile)
{
    const std::string strAppDir = m_folder.Dir();
    const std::string strProfile = "SmtpSecurity=starttls\r\nPopSecurity=none\r\n"
                                   "Authentication=oauth2\r\nCaFile=\r\nCharset=iso-2022-jp\r\n"
                                   "OAuthProvider=google\r\nOAuthClientId=id-1\r\nOAuthTenant="
                                   "common\r\nOAuthAuthorizeUrl=\r\nOAuthTokenUrl=\r\n"
                                   "OAuthDeviceUrl=\r\nOAuthScope=\r\nOAuthTokenCommand=\r\n";
    std::ofstream(strAppDir + "Delivery.ini", std::ios::binary) << strProfile;
    WhenDialogRuns<CSenderDlg>(m_platform, [](CSenderDlg& dlg) {
        Click(dlg, "m_btnDelivery");
        Click(dlg, "m_btnOK");
    });
    WhenDialogRuns<CDeliveryDlg>(m_platform, [](CDeliveryDlg& dlg) {
        EXPECT_EQ(Child<QComboBox>(dlg, "m_comboAuth")->currentText(), QStringLiteral("OAuth 2.0"));
        Click(dlg, "m_btnOK");
    });
    m_frame.SendCommand(ID_SENDER_SETTINGS);
    EXPECT_EQ(ReadDeliveryIni(strAppDir), strProfile);
}

// OAuth 2.0 chosen in the dialog: the provider decides which fields apply, the sign-in button
// waits for a client ID, a client ID with a blank is refused naming the field, and OK writes
// the keys.
TEST_F(SettingsDlgTest, ConnectionSettingsWriteTheOAuthKeys)
{
    const std::string strAppDir = m_folder.Dir();
    WhenDialogRuns<CSenderDlg>(m_platform, [](CSenderDlg& dlg) {
        Click(dlg, "m_btnDelivery");
        Click(dlg, "m_btnOK");
    });
    WhenDialogRuns<CDeliveryDlg>(m_platform, [](CDeliveryDlg& dlg) {
        const auto enabled = [&dlg](const char* pszName) {
            return Child<QWidget>(dlg, pszName)->isEnabled();
        };
        EXPECT_FALSE(enabled("m_comboProvider") || enabled("m_strClientId"));
        for (const QWidget* pChild : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(dlg.rect().contains(pChild->geometry()))
                << pChild->objectName().toStdString();
        Child<QComboBox>(dlg, "m_comboAuth")->setCurrentIndex(3); // OAuth 2.0
        EXPECT_EQ(Child<QLabel>(dlg, "m_labelWarning")->text(),
                  QStringLiteral(
                      u"注意: OAuth 2.0 には SMTP の暗号化 (STARTTLS か SSL/TLS) が必要です。"));
        Child<QComboBox>(dlg, "m_comboSmtp")->setCurrentIndex(1);
        EXPECT_TRUE(enabled("m_comboProvider") && enabled("m_strClientId") &&
                    enabled("m_strTenant"));
        EXPECT_FALSE(enabled("m_strTokenUrl") || enabled("m_strScope") || enabled("m_btnSignIn"));
        Child<QComboBox>(dlg, "m_comboProvider")->setCurrentIndex(2); // その他
        EXPECT_TRUE(enabled("m_strAuthorizeUrl") && enabled("m_strScope"));
        EXPECT_FALSE(enabled("m_strTenant"));
        Child<QComboBox>(dlg, "m_comboProvider")->setCurrentIndex(0); // Microsoft
        SetText(dlg, "m_strClientId", QStringLiteral("abc 123"));
        EXPECT_TRUE(enabled("m_btnSignIn"));
        EXPECT_EQ(Child<QLabel>(dlg, "m_labelSignIn")->text(), QStringLiteral(u"未サインイン"));
        Click(dlg, "m_btnOK");
        EXPECT_TRUE(dlg.isVisible());
        SetText(dlg, "m_strClientId", QStringLiteral("00000000-0000-0000-0000-000000000000"));
        SetText(dlg, "m_strTenant", QStringLiteral("consumers"));
        Click(dlg, "m_btnOK");
        EXPECT_FALSE(dlg.isVisible());
    });
    m_frame.SendCommand(ID_SENDER_SETTINGS);
    EXPECT_EQ(m_platform.m_messages,
              std::vector<std::string>{SJ(u"クライアント ID に空白や全角文字は使えません。")});
    EXPECT_EQ(ReadDeliveryIni(strAppDir),
              "SmtpSecurity=starttls\r\nPopSecurity=none\r\nAuthentication=oauth2\r\nCaFile=\r\n"
              "Charset=iso-2022-jp\r\nOAuthProvider=microsoft\r\nOAuthClientId=00000000-0000-"
              "0000-0000-000000000000\r\nOAuthTenant=consumers\r\nOAuthAuthorizeUrl=\r\n"
              "OAuthTokenUrl=\r\nOAuthDeviceUrl=\r\nOAuthScope=\r\nOAuthTokenCommand=\r\n");
}

// サインイン... against the fake authorization server: the test plays the browser with the
// address the dialog opens (the authorization, then the redirect to the dialog's listener), and
// the dialog then shows the account signed in.
TEST_F(SettingsDlgTest, ConnectionSettingsSignInThroughTheBrowser)
{
    CFakeOAuthServer server(m_folder, "");
    if (!server.Running())
        GTEST_SKIP() << "python3 and openssl are needed for the fake authorization server";
    const std::string strCaFile = m_folder.Path("ca.pem");
    CSystemSocketFactory sockets;
    std::thread browser;
    std::string strPage;
    m_platform.m_onShellOpen = [&](const std::string& strUrl) {
        HttpReply reply;
        std::string strError;
        EXPECT_TRUE(HttpsPostForm(sockets, strCaFile, server.Url("/authorize"),
                                  strUrl.substr(strUrl.find('?') + 1), reply, strError));
        const std::size_t nAt = reply.strBody.find("http://127.0.0.1:");
        ASSERT_NE(nAt, std::string::npos) << reply.strBody;
        const std::string strLocation =
            reply.strBody.substr(nAt, reply.strBody.find('"', nAt) - nAt);
        const int nPort = std::atoi(strLocation.c_str() + 17);
        const std::string strPath = strLocation.substr(strLocation.find('/', 17));
        browser =
            std::thread([&strPage, nPort, strPath] { strPage = VisitLoopback(nPort, strPath); });
    };
    WhenDialogRuns<CSenderDlg>(m_platform, [](CSenderDlg& dlg) {
        SetText(dlg, "m_strLoginName", QStringLiteral("taro@example.jp"));
        Click(dlg, "m_btnDelivery");
        Click(dlg, "m_btnCancel");
    });
    WhenDialogRuns<CDeliveryDlg>(m_platform, [&](CDeliveryDlg& dlg) {
        Child<QComboBox>(dlg, "m_comboSmtp")->setCurrentIndex(2);
        Child<QComboBox>(dlg, "m_comboAuth")->setCurrentIndex(3);
        Child<QComboBox>(dlg, "m_comboProvider")->setCurrentIndex(2);
        SetText(dlg, "m_strCaFile", ToQString(strCaFile));
        SetText(dlg, "m_strClientId", QStringLiteral("tarvell-test"));
        SetText(dlg, "m_strAuthorizeUrl", ToQString(server.Url("/authorize")));
        SetText(dlg, "m_strTokenUrl", ToQString(server.Url("/token")));
        SetText(dlg, "m_strScope", QStringLiteral("SMTP.Send offline_access"));
        Click(dlg, "m_btnSignIn"); // returns once the sign-in has ended
        EXPECT_EQ(Child<QLabel>(dlg, "m_labelSignIn")->text(),
                  QStringLiteral(u"サインイン済み: taro@example.jp"));
        Click(dlg, "m_btnCancel");
    });
    m_frame.SendCommand(ID_SENDER_SETTINGS);
    if (browser.joinable())
        browser.join();
    EXPECT_EQ(strPage.rfind("HTTP/1.1 200", 0), 0u) << strPage;
    EXPECT_EQ(m_platform.m_messages, std::vector<std::string>{});
    EXPECT_NE(server.Log("requests.log").find("grant_type=authorization_code"), std::string::npos);
    EXPECT_NE(m_folder.Read(kOAuthTokenFileName).find("RefreshToken=rt-1"), std::string::npos);
}
