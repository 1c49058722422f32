// MainFrameTest.cpp - the main window: its menu, the commands it takes and their start-mode
// resets, the viewers of log and keep files, the fixed frame, and the close path.
#include "ui/MainFrame.h"

#include "UiTest.h"
#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "ui/AboutDlg.h"
#include "ui/QtAddressDlg.h"
#include "ui/TarvellView.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>

#include <filesystem>
#include <fstream>

namespace
{
class MainFrameTest : public UiTest
{
  protected:
    MainFrameTest() : m_frame(*m_pDoc, m_platform) {}

    CMainFrame m_frame;
};

// Each menu as "Title: item | item | - | ...", with "-" for a separator and the command id
// after each item.
QStringList MenuLayout(CMainFrame& frame)
{
    QStringList menus;
    for (QAction* pMenuAction : frame.menuBar()->actions())
    {
        QStringList items;
        for (QAction* pAction : pMenuAction->menu()->actions())
            items << (pAction->isSeparator()
                          ? QStringLiteral("-")
                          : pAction->text() + QLatin1Char('=') + pAction->data().toString());
        menus << pMenuAction->text() + QStringLiteral(": ") + items.join(QStringLiteral(" | "));
    }
    return menus;
}

TEST_F(MainFrameTest, MenuHasTheTextsIdsAndSeparatorsInOrder)
{
    const QStringList expected = {
        QStringLiteral(
            u"ﾌｧｲﾙ(&F): - | ログファイルを閲覧(&L)=32778 | 保存ファイルを閲覧(&K)=32779 | "
            u"インストール先フォルダを開く(&D)=32774 | - | ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)=57665"),
        QStringLiteral(u"ツール(&T):  　メインアドレス帳の編集(&M)=32775 | "
                       u"グループアドレス帳の編集(&G)=32776 | - | "
                       u"グループアドレス帳から選択(&S)=32777 | 失敗した宛先に再送信(&F)=32781 | "
                       u"プレビュー(&P)=32782 | 自分に試し送信(&T)=32783 | - | "
                       u"送信記録を閲覧(&R)=32780"),
        QStringLiteral(u"設定(&S): オプション(&O)=32771 | 発送元設定(&S)=32773"),
        QStringLiteral(u"ﾍﾙﾌﾟ(&H): Tarvell のﾊﾞｰｼﾞｮﾝ情報(&A)...=57664 | サポートページへ=32772"),
    };
    EXPECT_EQ(MenuLayout(m_frame), expected);
}

TEST_F(MainFrameTest, WindowIsFixedAroundTheFormWithCaptionAndMinimiseBoxOnly)
{
    EXPECT_EQ(m_frame.windowTitle(), QStringLiteral("Tarvell"));
    EXPECT_EQ(m_frame.minimumSize(), m_frame.maximumSize());
    EXPECT_GE(m_frame.minimumSize().height(),
              m_frame.View().FormSize().height() + m_frame.menuBar()->sizeHint().height());
    const Qt::WindowFlags flags = m_frame.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint) && flags.testFlag(Qt::WindowSystemMenuHint));

    // A maximise the window manager offers anyway is undone.
    m_frame.show();
    m_frame.setWindowState(Qt::WindowMaximized);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !m_frame.isMaximized(); }, 2000));
}

// The send-record viewer shows the trace and this month's log as text, read-only, and opens
// either file in the editor from its button.
TEST_F(MainFrameTest, SendRecordViewerShowsTheTraceAndTheMonthsLog)
{
    std::filesystem::create_directories(m_folder.Path("log"));
    m_folder.Write("log/trace.txt", SJ(u"09:05:03 S: 220 準備完了\r\n09:05:03 C: EHLO\x1B[2J\r\n"));
    m_folder.Write("log/Tarvell_200407.txt", SJ(u"2004/07/05 09:05 送信成功 山田\r\n"));
    m_frame.SendCommand(ID_VIEW_TRACE);
    auto* pTrace = m_frame.findChild<QPlainTextEdit*>(QStringLiteral("m_textTrace"));
    auto* pLog = m_frame.findChild<QPlainTextEdit*>(QStringLiteral("m_textLog"));
    ASSERT_TRUE(pTrace != nullptr && pLog != nullptr);
    EXPECT_TRUE(pTrace->isReadOnly() && pTrace->isVisible());
    EXPECT_EQ(pTrace->toPlainText(),
              QStringLiteral(u"09:05:03 S: 220 準備完了\n09:05:03 C: EHLO\uFFFD[2J\n"));
    EXPECT_EQ(pLog->toPlainText(), QStringLiteral(u"2004/07/05 09:05 送信成功 山田\n"));

    Click(*pTrace->parentWidget(), "m_textTraceEditor");
    EXPECT_EQ(m_platform.m_shellOpened.back().first, m_folder.Path("log/trace.txt"));

    // A new trace shows when the viewer is asked for again.
    m_folder.Write("log/trace.txt", "09:06:00 -- x\r\n");
    m_frame.SendCommand(ID_VIEW_TRACE);
    EXPECT_EQ(pTrace->toPlainText(), QStringLiteral("09:06:00 -- x\n"));
}

// ツール → プレビュー shows the mail the recipient would get, as read and as its source, and sends
// nothing.
TEST_F(MainFrameTest, PreviewShowsTheMailAsReadAndItsSource)
{
    m_folder.Write("body.txt", SJ(u"%NAME様\r\n"));
    SetField(m_pDoc->m_sender.szName, SJ(u"送信 太郎"));
    SetField(m_pDoc->m_sender.szMailAddress, "taro@example.jp");
    CTarvellView& view = m_frame.View();
    SetText(view, "m_strToName", QStringLiteral(u"山田"));
    SetText(view, "m_strToAddress", QStringLiteral("yamada@example.jp"));
    SetText(view, "m_strTitle", QStringLiteral(u"ご案内"));
    SetText(view, "m_strTextFile", ToQString(m_folder.Path("body.txt")));
    m_frame.SendCommand(ID_PREVIEW);
    auto* pShown = m_frame.findChild<QPlainTextEdit*>(QStringLiteral("m_textShown"));
    auto* pSource = m_frame.findChild<QPlainTextEdit*>(QStringLiteral("m_textSource"));
    ASSERT_TRUE(pShown != nullptr && pSource != nullptr);
    EXPECT_TRUE(pShown->isReadOnly() && pShown->isVisible());
    EXPECT_TRUE(pShown->toPlainText().startsWith(
        QStringLiteral(u"差出人: 送信 太郎 <taro@example.jp>\n宛先: 山田 <yamada@example.jp>\n"
                       u"件名: ご案内\n")))
        << pShown->toPlainText().toStdString();
    EXPECT_TRUE(pShown->toPlainText().endsWith(QStringLiteral(u"\n\n山田様\n")));
    EXPECT_TRUE(pSource->toPlainText().contains(QStringLiteral("Subject: =?ISO-2022-JP?B?")));
    EXPECT_TRUE(pSource->toPlainText().contains(QStringLiteral(u"\u241B$B")))
        << "the JIS shifts are visible";
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path("log/Tarvell_200407.txt")));
}

TEST_F(MainFrameTest, ProgramFolderAndManualOpenThroughTheDesktop)
{
    m_platform.m_nextShellResults = {42, 2};
    m_frame.SendCommand(ID_OPEN_APP_DIR);
    EXPECT_TRUE(m_platform.m_messages.empty());
    m_frame.SendCommand(ID_OPEN_APP_DIR);
    EXPECT_EQ(m_platform.m_messages,
              std::vector<std::string>{
                  SJ(u"フォルダを開けませんでした（ファイルマネージャが見つかりません）: ") +
                  m_folder.Dir()});
    EXPECT_EQ(m_platform.m_shellOpened.at(0).first, m_folder.Dir());

    // The support item opens the manual copied beside the built program.
    const std::string strBinary = TARVELL_BINARY;
    m_frame.m_strProgramDir = strBinary.substr(0, strBinary.rfind('/') + 1);
    m_frame.SendCommand(ID_SUPPORT_PAGE);
    EXPECT_EQ(m_platform.m_shellOpened.back().first, m_frame.m_strProgramDir + "manual/index.html");
    // Not found anywhere: said so.
    m_platform.m_messages.clear();
    m_frame.m_strProgramDir = m_folder.Dir();
    m_frame.SendCommand(ID_SUPPORT_PAGE);
    EXPECT_EQ(m_platform.m_messages,
              std::vector<std::string>{SJ(u"マニュアルが見つかりません。探した場所:\n") +
                                       m_folder.Dir() + "../share/doc/tarvell/manual/index.html\n" +
                                       m_folder.Dir() + "manual/index.html"});
}

TEST_F(MainFrameTest, LogViewerProposesThisMonthsLogAndUsesTheEditorWhenItExists)
{
    // The scripted clock stands in July 2004.
    const std::string strLog = m_folder.Path("log/Tarvell_200407.txt");
    m_platform.m_nextFiles = {FileDialogResult{},
                              FileDialogResult{true, strLog, "Tarvell_200407.txt"}};
    m_frame.SendCommand(ID_VIEW_LOG); // cancelled: nothing opens
    EXPECT_TRUE(m_platform.m_shellOpened.empty());
    const FileDialogRequest& request = m_platform.m_fileDialogs.at(0);
    EXPECT_EQ(request.strPresetName, "Tarvell_200407");
    EXPECT_EQ(request.strStartDir, m_folder.Dir() + "log/");
    EXPECT_EQ(request.strDefaultExt, "txt");
    EXPECT_EQ(request.strFilter, SJ(u"ログファイル(*.txt)|*.txt||"));
    EXPECT_TRUE(request.bMustExist);

    // No editor set: the file opens with its associated program; with none, the message says
    // where to choose an editor.
    m_frame.SendCommand(ID_VIEW_LOG);
    EXPECT_EQ(m_platform.m_shellOpened.back(), std::make_pair(strLog, std::string()));
    m_platform.m_nextFiles = {FileDialogResult{true, strLog, "Tarvell_200407.txt"}};
    m_platform.m_nextShellResults = {2};
    m_frame.SendCommand(ID_VIEW_LOG);
    ASSERT_EQ(m_platform.m_messages.size(), 1u);
    EXPECT_NE(m_platform.m_messages[0].find(SJ(u"「設定」→「オプション」の「テキストエディタ」")),
              std::string::npos);
    m_platform.m_messages.clear();

    // An editor that exists gets the chosen path unquoted, spaces and all.
    std::filesystem::create_directories(m_folder.Path("my tools"));
    std::ofstream(m_folder.Path("my tools/edit")) << "x";
    SetField(m_pDoc->m_cfg.szEditorPath, m_folder.Path("my tools/edit"));
    const std::string strKeep = m_folder.Path("keep/20040705_090503(00)_a b.txt");
    m_platform.m_nextFiles = {FileDialogResult{true, strKeep, "x"}};
    m_platform.m_nextShellResults = {0};
    m_frame.SendCommand(ID_VIEW_KEEP);
    EXPECT_EQ(m_platform.m_shellOpened.back(),
              std::make_pair(m_folder.Path("my tools/edit"), strKeep));
    EXPECT_EQ(m_platform.m_messages,
              std::vector<std::string>{SJ(u"オープンできません。\n") +
                                       m_folder.Path("my tools/edit") + " " + strKeep});
    const FileDialogRequest& keep = m_platform.m_fileDialogs.back();
    EXPECT_EQ(keep.strPresetName, "");
    EXPECT_EQ(keep.strStartDir, m_folder.Dir() + "keep/");
    EXPECT_EQ(keep.strFilter, SJ(u"保存ファイル(*.txt)|*.txt||"));
}

TEST_F(MainFrameTest, MainBookEditorRunsInMode1AndEndsItsStartMode)
{
    m_pDoc->SetStartModeForTest(START_RUNNING + START_MAIN_BOOK_EDIT);
    WhenDialogRuns<CQtAddressDlg>(m_platform, [](CQtAddressDlg& dlg) {
        EXPECT_EQ(Child<QAbstractButton>(dlg, "m_btnOK")->text(), QStringLiteral(u"保存終了"));
        EXPECT_EQ(Child<QAbstractButton>(dlg, "m_btnCancel")->text(),
                  QStringLiteral(u"キャンセル"));
        EXPECT_EQ(Text(dlg, "m_strName"), QString());
        Click(dlg, "m_btnOK");
    });
    m_frame.SendCommand(ID_EDIT_MAIN_BOOK);
    EXPECT_EQ(m_platform.m_dialogTitles,
              std::vector<std::string>{SJ(u"Tarvell メイン・アドレス帳 - Address.tvl")});
    EXPECT_EQ(m_pDoc->GetStartMode(), START_NONE);
    EXPECT_EQ(GetFileSizeOrZero(m_folder.Path("Address.tvl")), 19200); // OK saves
}

TEST_F(MainFrameTest, GroupBookEditorAsksForANameThatMayBeNew)
{
    // Cancelled: no address book, but the start mode ends all the same.
    m_pDoc->SetStartModeForTest(START_RUNNING + START_GROUP_BOOK_EDIT);
    m_platform.m_nextFiles = {FileDialogResult{}};
    m_frame.SendCommand(ID_EDIT_GROUP_BOOK);
    EXPECT_TRUE(m_platform.m_dialogTitles.empty());
    EXPECT_EQ(m_pDoc->GetStartMode(), START_NONE);
    const FileDialogRequest& request = m_platform.m_fileDialogs.at(0);
    EXPECT_EQ(request.strPresetName, SJ(u"@新規"));
    EXPECT_EQ(request.strDefaultExt, "tvl");
    EXPECT_EQ(request.strFilter, SJ(u"グループアドレス帳(@*.tvl)|@*.tvl||"));
    EXPECT_EQ(request.strStartDir, m_folder.Dir());
    EXPECT_TRUE(request.bAskCreate);
    EXPECT_FALSE(request.bMustExist);

    // The proposed name confirmed: an empty book in mode 11, created by the first save.
    m_platform.m_nextFiles = {
        FileDialogResult{true, m_folder.Dir() + SJ(u"@新規.tvl"), SJ(u"@新規.tvl")}};
    WhenDialogRuns<CQtAddressDlg>(m_platform, [](CQtAddressDlg& dlg) {
        SetText(dlg, "m_strName", QStringLiteral(u"営業"));
        SetText(dlg, "m_strAddress", QStringLiteral(u"@営業.tvl"));
        SetText(dlg, "m_nNo", QStringLiteral("1"));
        Click(dlg, "m_btnRegister"); // a group inside a group book is refused
        EXPECT_EQ(Text(dlg, "m_strName"), QString());
        Click(dlg, "m_btnOK");
    });
    m_frame.SendCommand(ID_EDIT_GROUP_BOOK);
    EXPECT_EQ(m_platform.m_dialogTitles,
              std::vector<std::string>{SJ(u"Tarvell グループ・アドレス帳 - @新規.tvl")});
    EXPECT_EQ(m_platform.m_messages,
              std::vector<std::string>{SJ(
                  u"「グループアドレス帳」に「グループアドレス帳」を登録することは禁止してます")});
    EXPECT_EQ(GetFileSizeOrZero(m_folder.Dir() + SJ(u"@新規.tvl")), 19200);
}

TEST_F(MainFrameTest, AboutBoxShowsTheVersion)
{
    WhenDialogRuns<CAboutDlg>(m_platform, [](CAboutDlg& dlg) {
        EXPECT_EQ(Child<QLabel>(dlg, "m_version")->text(), QStringLiteral("Tarvell Version 1.02"));
        Click(dlg, "m_btnOK");
        EXPECT_FALSE(dlg.isVisible());
    });
    m_frame.SendCommand(ID_APP_ABOUT);
    EXPECT_EQ(m_platform.m_dialogTitles, std::vector<std::string>{SJ(u"Tarvellのﾊﾞｰｼﾞｮﾝ情報")});
}

TEST_F(MainFrameTest, CtrlNStartsTheFormAfreshAndIsTheOnlyStockKey)
{
    SetText(m_frame.View(), "m_strToName", QStringLiteral("a"));
    SetText(m_frame.View(), "m_strTitle", QStringLiteral("b"));
    m_frame.View().ReadForm();
    m_pDoc->m_cfg.nWindowLeft = 120;
    m_pDoc->m_cfg.nWindowTop = 30;

    QList<QKeySequence> keys;
    for (QAction* pAction : m_frame.actions())
    {
        if (!pAction->shortcut().isEmpty())
            keys << pAction->shortcut();
        if (pAction->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_N))
            pAction->trigger();
    }
    EXPECT_EQ(keys, QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_N)});
    EXPECT_EQ(Text(m_frame.View(), "m_strToName"), QString());
    EXPECT_EQ(m_frame.View().m_form.Field(FormField::Title), "");
    EXPECT_EQ(m_frame.pos(), QPoint(120, 30));
}

// A position saved on a screen that is gone would open the window out of sight.
TEST_F(MainFrameTest, APositionOffEveryScreenOpensAtTheDefaultPlace)
{
    m_pDoc->m_cfg.nWindowLeft = -30000;
    m_pDoc->m_cfg.nWindowTop = 20000;
    m_frame.View().OnInitialUpdate();
    EXPECT_EQ(m_frame.pos(), QPoint(64, 0));
    EXPECT_EQ(m_pDoc->m_cfg.nWindowLeft, -30000); // the record itself is left as it was
}

TEST_F(MainFrameTest, ClosingKeepsTheWindowPositionAndWritesBothRecords)
{
    m_frame.move(200, 150);
    m_frame.close();
    EXPECT_EQ(m_pDoc->m_cfg.nWindowLeft, 200);
    EXPECT_EQ(m_pDoc->m_cfg.nWindowTop, 150);
    EXPECT_EQ(GetFileSizeOrZero(m_folder.Path("Tarvell.cfg")), 776);
    EXPECT_EQ(GetFileSizeOrZero(m_folder.Path("SenderInf.tvl")), 896);
}

TEST_F(MainFrameTest, MinimisedWindowKeepsThePlaceItHadBeforeMinimising)
{
    m_frame.show();
    m_frame.move(210, 140);
    QTest::qWait(20);
    const QPoint before = m_frame.pos();
    m_frame.showMinimized();
    QTest::qWait(20);
    m_frame.close();
    EXPECT_EQ(m_pDoc->m_cfg.nWindowLeft, before.x());
    EXPECT_EQ(m_pDoc->m_cfg.nWindowTop, before.y());
}

TEST_F(MainFrameTest, ExitButtonAndMenuPostACloseRequest)
{
    for (bool bButton : {true, false})
    {
        CMainFrame frame(*m_pDoc, m_platform);
        frame.show();
        if (bButton)
            Click(frame.View(), "m_btnExit");
        else
            frame.SendCommand(ID_APP_EXIT);
        EXPECT_TRUE(frame.isVisible()); // not closed at once: the request is posted
        for (int i = 0; i < 100 && frame.isVisible(); ++i)
            QTest::qWait(20);
        EXPECT_FALSE(frame.isVisible());
    }
}
} // namespace
