// TarvellViewTest.cpp - the send form inside the main window: its pickers, the viewers with
// their editor fallback and messages, the byte limits of its fields with Japanese text, and
// the two address book runs that fill the recipient.
#include "ui/TarvellView.h"

#include "UiTest.h"
#include "addr/AddressBook.h"
#include "app/Sjis.h"
#include "support/FakeMailServer.h"
#include "send/HeadlessPlatform.h"
#include "ui/MainFrame.h"
#include "ui/QtAddressDlg.h"
#include "ui/StatusLine.h"

#include <QTreeWidget>

#include <fstream>

namespace
{
class TarvellViewTest : public UiTest
{
  protected:
    TarvellViewTest() : m_frame(*m_pDoc, m_platform), m_view(m_frame.View()) {}

    // Creates a file in the program folder; returns its path as the program holds it (CP932).
    std::string Touch(const QString& qstrName)
    {
        std::ofstream(m_folder.Dir() + qstrName.toStdString()) << "x";
        return m_folder.Dir() + ToSjis(qstrName);
    }

    CMainFrame m_frame;
    CTarvellView& m_view;
};

TEST_F(TarvellViewTest, FilePickersAskForTheirKindAndTakeTheChosenPath)
{
    SetField(m_pDoc->m_cfg.szTextFileDir, "/texts/");
    SetField(m_pDoc->m_cfg.szBinFileDir, "/bins/");
    m_platform.m_nextFiles = {FileDialogResult{true, SJ(u"/texts/本文.txt"), SJ(u"本文.txt")},
                              FileDialogResult{true, "/bins/a b.pdf", "a b.pdf"}};
    Click(m_view, "m_btnSelectTextFile");
    Click(m_view, "m_btnSelectBinFile");
    ASSERT_EQ(m_platform.m_fileDialogs.size(), 2u);

    const FileDialogRequest& text = m_platform.m_fileDialogs[0];
    EXPECT_EQ(text.strFilter, SJ(u"テキスト(*.txt)|*.txt||"));
    EXPECT_EQ(text.strDefaultExt, "txt");
    EXPECT_EQ(text.strStartDir, "/texts/");
    EXPECT_TRUE(text.bMustExist && text.bReadOnlyTicked);
    const FileDialogRequest& bin = m_platform.m_fileDialogs[1];
    EXPECT_EQ(bin.strFilter, SJ(u"全て(*.*)|*.*||"));
    EXPECT_EQ(bin.strDefaultExt, "*");
    EXPECT_EQ(bin.strStartDir, "/bins/");

    EXPECT_EQ(Text(m_view, "m_strTextFile"), QStringLiteral(u"/texts/本文.txt"));
    EXPECT_EQ(Text(m_view, "m_strBinFile"), QStringLiteral("/bins/a b.pdf"));

    // Cancelled: the field keeps what it had, typed text included.
    SetText(m_view, "m_strTextFile", QStringLiteral("/typed.txt"));
    m_platform.m_nextFiles = {FileDialogResult{}};
    Click(m_view, "m_btnSelectTextFile");
    EXPECT_EQ(Text(m_view, "m_strTextFile"), QStringLiteral("/typed.txt"));
    EXPECT_TRUE(m_platform.m_messages.empty());
}

TEST_F(TarvellViewTest, BodyFileOpensInTheEditorOrElseItsAssociatedProgram)
{
    const std::string strBody = Touch(QStringLiteral(u"本文 1.txt"));
    SetText(m_view, "m_strTextFile", ToQString(strBody));

    // No editor, or one that does not exist: the quoted file itself is opened.
    for (const char* pszEditor : {"", "/no/such/editor"})
    {
        SetField(m_pDoc->m_cfg.szEditorPath, pszEditor);
        Click(m_view, "m_btnEditTextFile");
        ASSERT_FALSE(m_platform.m_shellOpened.empty());
        EXPECT_EQ(m_platform.m_shellOpened.back(),
                  std::make_pair("\"" + strBody + "\"", std::string()));
    }

    const std::string strEditor = Touch(QStringLiteral("editor"));
    SetField(m_pDoc->m_cfg.szEditorPath, strEditor);
    m_platform.m_nextShellResults = {32}; // 32 or less is a failure
    Click(m_view, "m_btnEditTextFile");
    EXPECT_EQ(m_platform.m_shellOpened.back(), std::make_pair(strEditor, "\"" + strBody + "\""));
    EXPECT_EQ(m_platform.m_messages, std::vector<std::string>{SJ(u"オープンできません。\n") +
                                                              strEditor + " \"" + strBody + "\""});
}

TEST_F(TarvellViewTest, MissingFilesAreReportedBeforeAnythingOpens)
{
    SetText(m_view, "m_strTextFile", QStringLiteral("/no/such.txt"));
    SetText(m_view, "m_strBinFile", QString());
    Click(m_view, "m_btnEditTextFile");
    Click(m_view, "m_btnOpenBinFile");
    EXPECT_EQ(m_platform.m_messages,
              std::vector<std::string>(2, SJ(u"指定ファイルが存在しません。")));
    EXPECT_TRUE(m_platform.m_shellOpened.empty());

    // The attachment opens unquoted with its own program; a failure has its message.
    const std::string strBin = Touch(QStringLiteral("a b.pdf"));
    SetText(m_view, "m_strBinFile", ToQString(strBin));
    m_platform.m_nextShellResults = {42, 2};
    Click(m_view, "m_btnOpenBinFile");
    Click(m_view, "m_btnOpenBinFile");
    EXPECT_EQ(m_platform.m_shellOpened.front(), std::make_pair(strBin, std::string()));
    EXPECT_EQ(m_platform.m_messages.back(), SJ(u"オープンできません。\n") + strBin);
    EXPECT_EQ(m_platform.m_messages.size(), 3u);
}

TEST_F(TarvellViewTest, ReadingTheFormCountsShiftJisBytesAndStopsAtTheFirstLongField)
{
    m_view.m_form.SetField(FormField::Title, "old title");
    m_view.ShowForm();
    SetText(m_view, "m_strToName", Repeat(QStringLiteral(u"あ"), 64)); // 128 bytes
    SetText(m_view, "m_strToAddress", QStringLiteral("new@example.jp"));
    SetText(m_view, "m_strTitle", QStringLiteral("new title"));
    EXPECT_FALSE(m_view.ReadForm());
    EXPECT_EQ(m_platform.m_messages,
              std::vector<std::string>{SJ(u"127 文字以内で入力してください。")});
    EXPECT_EQ(m_view.m_form.Field(FormField::Title),
              "old title"); // later fields keep their strings

    SetText(m_view, "m_strToName", Repeat(QStringLiteral(u"あ"), 63) + QLatin1Char('a')); // 127
    SetText(m_view, "m_strTitle", Repeat(QStringLiteral(u"件"), 128));                    // 256
    EXPECT_FALSE(m_view.ReadForm());
    EXPECT_EQ(m_platform.m_messages.back(), SJ(u"255 文字以内で入力してください。"));
    EXPECT_EQ(m_view.m_form.Field(FormField::ToName).size(), 127u);
    EXPECT_EQ(m_view.m_form.Field(FormField::ToAddress), "new@example.jp");

    // The status line is shown only: however long, it is never read back or checked.
    SetText(m_view, "m_strTitle", QStringLiteral("t"));
    m_view.m_form.SetStatus(std::string(600, 's'));
    m_view.ShowForm();
    m_platform.m_messages.clear();
    EXPECT_TRUE(m_view.ReadForm());
    EXPECT_TRUE(m_platform.m_messages.empty());
    QLineEdit* pStatus = Child<QLineEdit>(m_view, "m_strStatus");
    EXPECT_TRUE(pStatus->isReadOnly());
    EXPECT_EQ(pStatus->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    EXPECT_EQ(m_platform.m_statusLines.back(), std::string(600, 's'));
}

TEST_F(TarvellViewTest, MainBookPickFillsTheRecipientOnlyOnOkWithBothValues)
{
    AddressBook book;
    SetField(book.entries[1].szName, SJ(u"佐藤"));
    SetField(book.entries[1].szAddress, "sato@example.jp");
    SaveBook(m_folder.Path("Address.tvl"), book);
    SetText(m_view, "m_strToName", QStringLiteral(u"前の宛先"));

    // The dialog opens with the form's values; the user picks row 2 and confirms.
    WhenDialogRuns<CQtAddressDlg>(m_platform, [](CQtAddressDlg& dlg) {
        EXPECT_EQ(Text(dlg, "m_strName"), QStringLiteral(u"前の宛先"));
        auto* pList = Child<QTreeWidget>(dlg, "m_listBook");
        pList->setCurrentItem(pList->topLevelItem(1));
        Click(dlg, "m_btnSelect");
        Click(dlg, "m_btnOK");
    });
    m_pDoc->SetStartModeForTest(START_RUNNING + START_MAIN_BOOK_SELECT);
    Click(m_view, "m_btnAddressBook");
    EXPECT_EQ(m_platform.m_dialogTitles,
              std::vector<std::string>{SJ(u"Tarvell メイン・アドレス帳 - Address.tvl")});
    EXPECT_EQ(Text(m_view, "m_strToName"), QStringLiteral(u"佐藤"));
    EXPECT_EQ(Text(m_view, "m_strToAddress"), QStringLiteral("sato@example.jp"));
    EXPECT_EQ(m_pDoc->GetStartMode(), START_NONE);

    // OK with an empty address, or Cancel, leaves the form as it is.
    WhenDialogRuns<CQtAddressDlg>(m_platform, [](CQtAddressDlg& dlg) {
        SetText(dlg, "m_strAddress", QString());
        Click(dlg, "m_btnOK");
    });
    WhenDialogRuns<CQtAddressDlg>(m_platform, [](CQtAddressDlg& dlg) {
        SetText(dlg, "m_strName", QStringLiteral("x"));
        Click(dlg, "m_btnCancel");
    });
    Click(m_view, "m_btnAddressBook");
    Click(m_view, "m_btnAddressBook");
    EXPECT_EQ(Text(m_view, "m_strToName"), QStringLiteral(u"佐藤"));
    EXPECT_EQ(Text(m_view, "m_strToAddress"), QStringLiteral("sato@example.jp"));
}

TEST_F(TarvellViewTest, GroupPickPassesOnlyTheFileNameAndEndsItsStartMode)
{
    AddressBook book;
    SetField(book.entries[0].szName, SJ(u"鈴木"));
    SetField(book.entries[0].szAddress, "suzuki@example.jp");
    SaveBook(m_folder.Path(SJ(u"@友人.tvl")), book);

    // Cancelled file dialog: no address book, but the start mode still ends.
    m_pDoc->SetStartModeForTest(START_RUNNING + START_GROUP_BOOK_SELECT);
    m_platform.m_nextFiles = {FileDialogResult{}};
    m_frame.SendCommand(ID_GROUP_SELECT);
    EXPECT_TRUE(m_platform.m_dialogTitles.empty());
    EXPECT_EQ(m_pDoc->GetStartMode(), START_NONE);
    const FileDialogRequest& request = m_platform.m_fileDialogs.at(0);
    EXPECT_EQ(request.strFilter, SJ(u"グループアドレス帳(@*.tvl)|@*.tvl||"));
    EXPECT_EQ(request.strStartDir, m_folder.Dir());
    EXPECT_TRUE(request.bMustExist);

    // A book picked in another folder is read from the program folder under its name.
    m_platform.m_nextFiles = {
        FileDialogResult{true, SJ(u"/elsewhere/@友人.tvl"), SJ(u"@友人.tvl")}};
    WhenDialogRuns<CQtAddressDlg>(m_platform, [](CQtAddressDlg& dlg) {
        auto* pList = Child<QTreeWidget>(dlg, "m_listBook");
        EXPECT_EQ(pList->topLevelItem(0)->text(1), QStringLiteral(u"鈴木"));
        pList->setCurrentItem(pList->topLevelItem(0));
        Click(dlg, "m_btnSelect");
        Click(dlg, "m_btnOK");
    });
    m_frame.SendCommand(ID_GROUP_SELECT);
    EXPECT_EQ(m_platform.m_dialogTitles,
              std::vector<std::string>{SJ(u"Tarvell グループ・アドレス帳 - @友人.tvl")});
    EXPECT_EQ(Text(m_view, "m_strToName"), QStringLiteral(u"鈴木"));

    // A book name too long for the book-name field is refused, not cut to another book's name;
    // the start mode still ends.
    const std::string strLong = "@" + std::string(122, 'g') + ".tvl"; // 127 bytes fit, 128 not
    for (const std::string& strName : {strLong, "@" + strLong})
    {
        SCOPED_TRACE(strName.size());
        m_platform.m_messages.clear();
        m_platform.m_dialogTitles.clear();
        m_pDoc->SetStartModeForTest(START_RUNNING + START_GROUP_BOOK_SELECT);
        m_platform.m_nextFiles = {FileDialogResult{true, "/elsewhere/" + strName, strName}};
        if (strName.size() <= 127)
            m_platform.m_nextDialogs.push_back([](IModalDialog&) { return DLG_CANCEL; });
        m_frame.SendCommand(ID_GROUP_SELECT);
        EXPECT_EQ(m_pDoc->GetStartMode(), START_NONE);
        if (strName.size() <= 127)
        {
            EXPECT_TRUE(m_platform.m_messages.empty());
            EXPECT_EQ(m_platform.m_dialogTitles.size(), 1u);
        }
        else
        {
            EXPECT_EQ(m_platform.m_messages,
                      std::vector<std::string>{SJ(u"127 文字以内で入力してください。")});
            EXPECT_TRUE(m_platform.m_dialogTitles.empty());
        }
    }
}
// A status text too long for the line shows its start and its end, cut in the middle; the
// tooltip holds it whole.
TEST_F(TarvellViewTest, LongStatusIsCutInTheMiddleAndWholeInTheTooltip)
{
    auto* pStatus = m_view.findChild<CStatusLine*>(QStringLiteral("m_strStatus"));
    ASSERT_NE(pStatus, nullptr);
    const QString qstrLong = QStringLiteral(u"山田 太郎 添付ファイルあり送信開始-") +
                             Repeat(QStringLiteral(u"長い"), 60) +
                             QStringLiteral(u"-送信失敗-理由");
    pStatus->SetStatus(qstrLong, QString());
    const QString qstrShown = pStatus->DisplayedText();
    EXPECT_TRUE(qstrShown.startsWith(QStringLiteral(u"山田")) &&
                qstrShown.endsWith(QStringLiteral(u"理由")) && qstrShown.contains(QChar(0x2026)))
        << qstrShown.toStdString();
    EXPECT_EQ(pStatus->toolTip(), qstrLong);
    pStatus->SetStatus(QStringLiteral(u"送信成功"), QString());
    EXPECT_EQ(pStatus->DisplayedText(), QStringLiteral(u"送信成功"));
}
} // namespace

namespace
{
// The start with "/sendon": the form is filled from the send-information file, Send is disabled
// from the first moment, and the timer's commands reach the form and the main window.
TEST(TarvellViewStart, AutomaticSendFillsTheFormAndDisablesSend)
{
    CTempFolder folder;
    CScriptedPlatform platform;
    std::ofstream(folder.Path("inf.txt")) << "Name=a\r\nAddress=b@example.jp\r\nTitle=t\r\n";
    CTarvellDoc doc(platform, folder.Dir(), "/sendinf=inf.txt /sendon");
    CMainFrame frame(doc, platform);
    EXPECT_FALSE(Child<QAbstractButton>(frame.View(), "m_btnSend")->isEnabled());
    EXPECT_EQ(Text(frame.View(), "m_strToAddress"), QStringLiteral("b@example.jp"));
    EXPECT_EQ(platform.m_timers.count(AUTO_TIMER_ID), 1u);

    // A command the form does not take goes on to the main window: the options dialog.
    platform.m_nextDialogs.push_back([](IModalDialog& dlg) {
        EXPECT_EQ(dlg.Title(), SJ(u"オプション"));
        return DLG_CANCEL;
    });
    doc.SetStartModeForTest(START_RUNNING + START_OPTIONS);
    frame.SendCommand(ID_OPTIONS);
    EXPECT_EQ(doc.GetStartMode(), START_NONE);

    frame.close(); // the close path stops the timer
    EXPECT_EQ(platform.m_timers.count(AUTO_TIMER_ID), 0u);
}
} // namespace

namespace
{
CServerScript SmtpAnsweringRcpt(const std::string& strReply)
{
    CServerScript script;
    script.Say("220 fake\r\n").Line().Say("250 fake\r\n").Line().Say("250 ok\r\n").Line();
    script.Say(strReply).Line().Say("221 bye\r\n");
    return script;
}

// A failed send keeps the status line's text; with a display the detail is its tooltip (and a
// double-click on it opens the send trace), without one it is a line on standard error.
TEST_F(TarvellViewTest, AFailedSendTellsItsDetailInTheTooltipOrOnStandardError)
{
    struct Row
    {
        const char* pszWhat;
        CServerScript pop3, smtp;
        QString qstrDetail;
        QString qstrReason; // the status line's reason: the cause where there is one
    };
    CServerScript refusingPass;
    refusingPass.Say("+OK fake\r\n").Line().Say("+OK\r\n").Line().Say("-ERR [AUTH] failed\r\n");
    CServerScript closing;
    closing.Say("220 fake\r\n").Line().Close();
    CServerScript silent;
    silent.Say("220 fake\r\n").Silent();
    const Row rows[] = {
        {"recipient refused", CServerScript::Pop3Accepting(),
         SmtpAnsweringRcpt("550 5.1.1 User unknown\r\n"),
         QStringLiteral(u"RCPT TO: 550 5.1.1 User unknown"),
         QStringLiteral(u"サーバが宛先アドレスを拒否しました")},
        {"password refused", refusingPass, CServerScript(),
         QStringLiteral(u"PASS: -ERR [AUTH] failed"),
         QStringLiteral(u"発送元設定を確認してください。")},
        {"server closes", CServerScript::Pop3Accepting(), closing,
         QStringLiteral(u"HELO: サーバーが接続を閉じました"),
         QStringLiteral(u"発送元設定を確認してください。")},
        {"time-out", CServerScript::Pop3Accepting(), silent,
         QStringLiteral(u"HELO: WSAETIMEDOUT: 応答がないまま時間切れになりました"),
         QStringLiteral(u"タイムアウトしました (HELO)")},
    };
    SetField(m_pDoc->m_sender.szMailAddress, "from@example.jp");
    SetField(m_pDoc->m_sender.szLoginName, "login");
    SetField(m_pDoc->m_sender.szPassword, "secret");
    const std::string strBody = Touch(QStringLiteral(u"本文.txt"));
    QLineEdit* pStatus = Child<QLineEdit>(m_view, "m_strStatus");
    ASSERT_NE(pStatus, nullptr);
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.pszWhat);
        // Each run gets its own server, playing the row's two connections.
        const auto runWith = [&](const std::function<void()>& send) {
            CFakeMailServer server;
            server.AddConnection(row.pop3);
            server.AddConnection(row.smtp);
            SetField(m_pDoc->m_sender.szPop3Server, server.HostPort());
            SetField(m_pDoc->m_sender.szSmtpServer, server.HostPort());
            send();
            server.Stop();
        };
        runWith([&] {
            SetText(m_view, "m_strToName", QStringLiteral(u"山田"));
            SetText(m_view, "m_strToAddress", QStringLiteral("yamada@example.jp"));
            SetText(m_view, "m_strTitle", QStringLiteral(u"件名"));
            SetText(m_view, "m_strTextFile", ToQString(strBody));
            Click(m_view, "m_btnSend");
        });
        EXPECT_EQ(pStatus->text(),
                  QStringLiteral(u"山田 添付ファイルなし送信開始-送信失敗-") + row.qstrReason);
        EXPECT_TRUE(pStatus->toolTip().startsWith(row.qstrDetail + QLatin1Char('\n')))
            << pStatus->toolTip().toStdString();

        std::FILE* pOut = std::tmpfile();
        std::FILE* pErr = std::tmpfile();
        CHeadlessPlatform headless(pOut, pErr);
        CSendForm form(*m_pDoc, headless);
        runWith([&] {
            form.SetField(FormField::ToName, m_view.m_form.Field(FormField::ToName));
            form.SetField(FormField::ToAddress, m_view.m_form.Field(FormField::ToAddress));
            form.SetField(FormField::Title, m_view.m_form.Field(FormField::Title));
            form.SetField(FormField::TextFile, m_view.m_form.Field(FormField::TextFile));
            form.OnSend();
        });
        std::rewind(pErr);
        std::string strErr(4096, '\0');
        strErr.resize(std::fread(strErr.data(), 1, strErr.size(), pErr));
        EXPECT_NE(
            strErr.find((QStringLiteral(u"Tarvell: 詳細: ") + row.qstrDetail + QLatin1Char('\n'))
                            .toStdString()),
            std::string::npos)
            << strErr;
        std::fclose(pOut);
        std::fclose(pErr);
    }

    // A double-click on the status line asks the window for the send-record viewer.
    int nCommand = 0;
    m_view.SetCommandTarget([&nCommand](int nId) {
        nCommand = nId;
        return true;
    });
    QTest::mouseDClick(pStatus, Qt::LeftButton);
    EXPECT_EQ(nCommand, ID_VIEW_TRACE);
}
} // namespace

// ツール → 自分に試し送信 sends the form's mail once to the sender's own address, on the send's
// worker like 送信, and leaves the recipient fields as they were.
TEST_F(TarvellViewTest, TestSendGoesToTheSenderAndKeepsTheRecipient)
{
    CFakeMailServer server;
    server.AddConnection(CServerScript::Pop3Accepting());
    server.AddConnection(CServerScript::SmtpAccepting());
    SetField(m_pDoc->m_sender.szName, SJ(u"送信 太郎"));
    SetField(m_pDoc->m_sender.szMailAddress, "taro@example.jp");
    SetField(m_pDoc->m_sender.szLoginName, "login");
    SetField(m_pDoc->m_sender.szPassword, "secret");
    SetField(m_pDoc->m_sender.szPop3Server, server.HostPort());
    SetField(m_pDoc->m_sender.szSmtpServer, server.HostPort());
    SetText(m_view, "m_strToName", QStringLiteral(u"山田"));
    SetText(m_view, "m_strToAddress", QStringLiteral("yamada@example.jp"));
    SetText(m_view, "m_strTitle", QStringLiteral(u"件名"));
    SetText(m_view, "m_strTextFile", ToQString(Touch(QStringLiteral(u"本文.txt"))));
    m_frame.SendCommand(ID_TEST_SEND);
    server.Stop();
    ASSERT_EQ(server.ConnectionCount(), 2u);
    EXPECT_NE(server.Received(1).find("RCPT TO:<taro@example.jp>\n"), std::string::npos);
    EXPECT_EQ(Text(m_view, "m_strToAddress"), QStringLiteral("yamada@example.jp"));
    EXPECT_TRUE(Text(m_view, "m_strStatus").endsWith(QStringLiteral(u"送信成功")));
}
