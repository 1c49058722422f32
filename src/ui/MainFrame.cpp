// MainFrame.cpp - the main window.
#include "ui/MainFrame.h"

#include "app/AppFiles.h"
#include "app/Command.h"
#include "app/DataExchange.h"
#include "app/FileSystem.h"
#include "app/LocalTime.h"
#include "app/Process.h"
#include "app/Sjis.h"
#include "app/TarvellDoc.h"
#include "send/DeliverySettings.h"
#include "ui/AboutDlg.h"
#include "ui/AppIcon.h"
#include "ui/FileCommands.h"
#include "ui/OptionDlg.h"
#include "ui/QtAddressDlg.h"
#include "ui/QtText.h"
#include "ui/SendRecordDlg.h"
#include "ui/SenderDlg.h"
#include "ui/TarvellView.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QTimer>

CMainFrame::CMainFrame(CTarvellDoc& doc, IPlatform& platform) : m_doc(doc), m_platform(platform)
{
    std::string strError;
    m_strProgramDir = ProgramFolder(strError); // empty when unknown: the manual is then not found
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(QStringLiteral("Tarvell"));
    setWindowIcon(AppIcon());
    // A caption with system menu and minimise box: no sizing border, no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    QMenuBar* pBar = menuBar();
    pBar->setNativeMenuBar(false);
    QMenu* pFile = pBar->addMenu(QStringLiteral(u"ﾌｧｲﾙ(&F)"));
    pFile->setSeparatorsCollapsible(false); // the menu begins with a separator
    pFile->addSeparator();
    AddCommand(pFile, QStringLiteral(u"ログファイルを閲覧(&L)"), ID_VIEW_LOG);
    AddCommand(pFile, QStringLiteral(u"保存ファイルを閲覧(&K)"), ID_VIEW_KEEP);
    AddCommand(pFile, QStringLiteral(u"インストール先フォルダを開く(&D)"), ID_OPEN_APP_DIR);
    pFile->addSeparator();
    AddCommand(pFile, QStringLiteral(u"ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"), ID_APP_EXIT);
    QMenu* pTools = pBar->addMenu(QStringLiteral(u"ツール(&T)"));
    AddCommand(pTools, QStringLiteral(u" 　メインアドレス帳の編集(&M)"), ID_EDIT_MAIN_BOOK);
    AddCommand(pTools, QStringLiteral(u"グループアドレス帳の編集(&G)"), ID_EDIT_GROUP_BOOK);
    pTools->addSeparator();
    AddCommand(pTools, QStringLiteral(u"グループアドレス帳から選択(&S)"), ID_GROUP_SELECT);
    AddCommand(pTools, QStringLiteral(u"失敗した宛先に再送信(&F)"), ID_RESEND);
    AddCommand(pTools, QStringLiteral(u"プレビュー(&P)"), ID_PREVIEW);
    AddCommand(pTools, QStringLiteral(u"自分に試し送信(&T)"), ID_TEST_SEND);
    pTools->addSeparator();
    AddCommand(pTools, QStringLiteral(u"送信記録を閲覧(&R)"), ID_VIEW_TRACE);
    QMenu* pSettings = pBar->addMenu(QStringLiteral(u"設定(&S)"));
    AddCommand(pSettings, QStringLiteral(u"オプション(&O)"), ID_OPTIONS);
    AddCommand(pSettings, QStringLiteral(u"発送元設定(&S)"), ID_SENDER_SETTINGS);
    QMenu* pHelp = pBar->addMenu(QStringLiteral(u"ﾍﾙﾌﾟ(&H)"));
    AddCommand(pHelp, QStringLiteral(u"Tarvell のﾊﾞｰｼﾞｮﾝ情報(&A)..."), ID_APP_ABOUT);
    AddCommand(pHelp, QStringLiteral(u"サポートページへ"), ID_SUPPORT_PAGE);

    // Of the stock keys only Ctrl+N does something useful here: the form starts afresh.
    auto* pNew = new QAction(this);
    pNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    pNew->setShortcutContext(Qt::WindowShortcut);
    connect(pNew, &QAction::triggered, this, [this] { SendCommand(ID_FILE_NEW); });
    addAction(pNew);

    m_pView = new CTarvellView(doc, platform, this);
    m_pView->SetCommandTarget([this](int nId) { return OnCommand(nId); });
    setCentralWidget(m_pView);
    // The frame fits the form exactly and cannot be resized.
    setFixedSize(sizeHint());
    m_pView->OnInitialUpdate();
}

void CMainFrame::AddCommand(QMenu* pMenu, const QString& qstrText, int nId)
{
    QAction* pAction = pMenu->addAction(qstrText);
    pAction->setObjectName(QStringLiteral("ID_%1").arg(nId));
    pAction->setData(nId);
    connect(pAction, &QAction::triggered, this, [this, nId] { SendCommand(nId); });
}

bool CMainFrame::SendCommand(int nId)
{
    return m_pView->OnCommand(nId); // the form passes on what it does not take
}

bool CMainFrame::OnCommand(int nId)
{
    switch (nId)
    {
    case ID_APP_EXIT:
        OnExit();
        return true;
    case ID_OPTIONS:
        OnOptions();
        return true;
    case ID_SUPPORT_PAGE:
        OnSupportPage();
        return true;
    case ID_SENDER_SETTINGS:
        OnSenderSettings();
        return true;
    case ID_OPEN_APP_DIR:
        OnOpenAppDir();
        return true;
    case ID_EDIT_MAIN_BOOK:
        RunCommand(m_platform, [this] { OnEditMainBook(); });
        return true;
    case ID_EDIT_GROUP_BOOK:
        RunCommand(m_platform, [this] { OnEditGroupBook(); });
        return true;
    case ID_VIEW_LOG:
        OnViewLog();
        return true;
    case ID_VIEW_KEEP:
        OnViewKeep();
        return true;
    case ID_VIEW_TRACE:
        OnViewTrace();
        return true;
    case ID_APP_ABOUT: // the application's commands
        OnAppAbout();
        return true;
    case ID_FILE_NEW:
        OnFileNew();
        return true;
    default:
        return false;
    }
}

void CMainFrame::OnExit()
{
    QTimer::singleShot(0, this, [this] { close(); });
}

void CMainFrame::OnSupportPage()
{
    // The support item opens the user manual in the desktop's browser.
    const std::string strManual = FindManual(m_strProgramDir);
    if (strManual.empty())
    {
        std::string strPlaces;
        for (const std::string& strPlace : ManualPlaces(m_strProgramDir))
            strPlaces += "\n" + strPlace;
        m_platform.ShowMessage(
            ToSjis(QStringLiteral(u"マニュアルが見つかりません。探した場所:")) + // troubleshooting
                strPlaces,
            MsgButtons::Ok);
    }
    else if (m_platform.ShellOpen(strManual, std::string()) <= 32)
        m_platform.ShowMessage(
            ToSjis(QStringLiteral(u"マニュアルを開けませんでした" // troubleshooting
                                  u"（ブラウザが見つかりません）: ")) +
                strManual,
            MsgButtons::Ok);
}

void CMainFrame::OnOpenAppDir()
{
    if (m_platform.ShellOpen(m_doc.m_szAppDir, std::string()) <= 32)
        m_platform.ShowMessage(
            ToSjis(QStringLiteral(u"フォルダを開けませんでした" // troubleshooting
                                  u"（ファイルマネージャが見つかりません）: ")) +
                m_doc.m_szAppDir,
            MsgButtons::Ok);
}

void CMainFrame::OnEditMainBook()
{
    {
        CQtAddressDlg dlg(m_platform, this);
        dlg.m_logic.m_nMode = CAddressDlg::MODE_MAIN_EDIT;
        SetField(dlg.m_logic.m_szBookDir, m_doc.m_szAppDir);
        m_platform.RunModal(dlg);
    }
    m_doc.EndStartMode(START_MAIN_BOOK_EDIT);
}

void CMainFrame::OnEditGroupBook()
{
    const std::optional<std::string> book =
        ChooseGroupBook(m_platform, m_doc.m_szAppDir, GroupBookChoice::NewOrOld);
    if (book)
    {
        CQtAddressDlg dlg(m_platform, this);
        dlg.m_logic.m_nMode = CAddressDlg::MODE_GROUP_EDIT;
        SetField(dlg.m_logic.m_szBookDir, m_doc.m_szAppDir);
        SetField(dlg.m_logic.m_szBookFile, *book);
        m_platform.RunModal(dlg);
    }
    m_doc.EndStartMode(START_GROUP_BOOK_EDIT);
}

void CMainFrame::ViewTextFile(const QString& qstrFilter, const char* pszFolder,
                              const std::string& strPreset)
{
    FileDialogRequest request;
    request.strStartDir = FieldText(m_doc.m_szAppDir) + pszFolder;
    request.strPresetName = strPreset;
    request.strDefaultExt = "txt";
    request.strFilter = ToSjis(qstrFilter);
    request.bMustExist = true;
    const FileDialogResult result = m_platform.OpenFileDialog(request);
    if (result.bConfirmed)
        OpenInEditor(m_platform, m_doc.m_cfg, result.strPath); // the path goes unquoted
}

void CMainFrame::OnViewLog()
{
    ViewTextFile(QStringLiteral(u"ログファイル(*.txt)|*.txt||"), kLogFolder,
                 FormatLocalTime(m_platform.Now(), kSendLogStemPattern));
}

void CMainFrame::OnViewKeep()
{
    ViewTextFile(QStringLiteral(u"保存ファイル(*.txt)|*.txt||"), kKeepFolder, std::string());
}

void CMainFrame::OnViewTrace()
{
    if (m_pRecordDlg == nullptr)
        m_pRecordDlg = new CSendRecordDlg(m_platform, m_doc.m_cfg, this);
    m_pRecordDlg->ShowRecords(FieldText(m_doc.m_szAppDir),
                              FormatLocalTime(m_platform.Now(), kSendLogPattern));
    m_pRecordDlg->show();
    m_pRecordDlg->raise();
    m_pRecordDlg->activateWindow();
}

void CMainFrame::OnSenderSettings()
{
    {
        CSenderDlg dlg(m_platform, this);
        dlg.Load(m_doc);
        if (m_platform.RunModal(dlg) == DLG_OK)
            dlg.Store(m_doc, m_platform);
        dlg.WipePassword(); // the password's copy in the dialog goes with it
    }
    m_doc.EndStartMode(START_SENDER);
}

void CMainFrame::OnOptions()
{
    {
        COptionDlg dlg(m_platform, this);
        dlg.m_strEditorPath = FieldText(m_doc.m_cfg.szEditorPath);
        dlg.m_strTextFileDir = FieldText(m_doc.m_cfg.szTextFileDir);
        dlg.m_strBinFileDir = FieldText(m_doc.m_cfg.szBinFileDir);
        dlg.m_pszAppDir = m_doc.m_szAppDir;
        if (m_platform.RunModal(dlg) == DLG_OK)
        {
            m_doc.StoreOptions(dlg.m_strEditorPath, dlg.m_strTextFileDir, dlg.m_strBinFileDir);
        }
    }
    m_doc.EndStartMode(START_OPTIONS);
}

void CMainFrame::OnAppAbout()
{
    CAboutDlg dlg(m_platform, this);
    m_platform.RunModal(dlg);
}

void CMainFrame::OnFileNew()
{
    m_pView->OnInitialUpdate();
}

void CMainFrame::changeEvent(QEvent* pEvent)
{
    QMainWindow::changeEvent(pEvent);
    if (pEvent->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        QTimer::singleShot(0, this,
                           [this] { setWindowState(windowState() & ~Qt::WindowMaximized); });
}

void CMainFrame::closeEvent(QCloseEvent* pEvent)
{
    // A running send is cancelled first; the window closes when it has ended.
    if (m_pView->DeferCloseUntilSendEnds())
    {
        pEvent->ignore();
        return;
    }
    if (!m_bClosed)
    {
        m_bClosed = true;
        m_pView->OnDestroy();
        RunCommand(m_platform, [this] { m_doc.SaveRecords(); });
    }
    pEvent->accept();
}
