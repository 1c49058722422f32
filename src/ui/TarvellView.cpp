// TarvellView.cpp - the send form.
#include "ui/TarvellView.h"

#include "addr/AddressDlg.h"
#include "app/Command.h"
#include "app/DataExchange.h"
#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "ui/Controls.h"
#include "ui/QtPlatform.h"
#include "ui/FileCommands.h"
#include "ui/MainFrame.h"
#include "ui/PreviewDlg.h"
#include "ui/QtAddressDlg.h"
#include "ui/QtText.h"
#include "ui/SjisLineEdit.h"
#include "ui/StatusLine.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include <utility>

namespace
{
constexpr int FORM_WIDTH = 313;
constexpr int FORM_HEIGHT = 120;
} // namespace

CTarvellView::CTarvellView(CTarvellDoc& doc, IPlatform& platform, QWidget* pParent)
    : QWidget(pParent), m_sendPlatform(platform, m_job.Mailbox(), m_job.Cancel()),
      m_form(doc, m_sendPlatform, this, &m_job.Cancel()), m_doc(doc), m_platform(platform),
      m_units(DialogFont())
{
    setObjectName(QStringLiteral("CTarvellView"));
    setFont(DialogFont());
    setFixedSize(FormSize());

    // The controls in template order, which is also the tab order.
    QPushButton* pBtnExit =
        MakeButton(this, m_units.Rect(256, 8, 52, 14), QStringLiteral(u"終了"), "m_btnExit");
    CSjisLineEdit* pEditToName = MakeEdit(this, m_units.Rect(84, 8, 52, 14), "m_strToName",
                                          FormFieldLimit(FormField::ToName));
    CSjisLineEdit* pEditToAddress = MakeEdit(this, m_units.Rect(140, 8, 112, 14), "m_strToAddress",
                                             FormFieldLimit(FormField::ToAddress));
    CSjisLineEdit* pEditTitle = MakeEdit(this, m_units.Rect(84, 28, 168, 14), "m_strTitle",
                                         FormFieldLimit(FormField::Title));
    CSjisLineEdit* pEditTextFile = MakeEdit(this, m_units.Rect(84, 56, 168, 14), "m_strTextFile",
                                            FormFieldLimit(FormField::TextFile));
    CSjisLineEdit* pEditBinFile = MakeEdit(this, m_units.Rect(84, 76, 168, 14), "m_strBinFile",
                                           FormFieldLimit(FormField::BinFile));
    QPushButton* pBtnAddressBook =
        MakeButton(this, m_units.Rect(4, 8, 76, 14), QStringLiteral(u"宛先・メインアドレス帳"),
                   "m_btnAddressBook");
    m_pBtnSend =
        MakeButton(this, m_units.Rect(256, 28, 52, 20), QStringLiteral(u"送信"), "m_btnSend");
    QPushButton* pBtnTextFile =
        MakeButton(this, m_units.Rect(4, 56, 76, 14), QStringLiteral(u"送信テキストファイル名"),
                   "m_btnSelectTextFile");
    QPushButton* pBtnBinFile =
        MakeButton(this, m_units.Rect(4, 76, 76, 14), QStringLiteral(u"送信添付ファイル名"),
                   "m_btnSelectBinFile");
    QPushButton* pBtnEditText = MakeButton(this, m_units.Rect(256, 56, 36, 14),
                                           QStringLiteral(u"閲覧/編集"), "m_btnEditTextFile");
    QPushButton* pBtnOpenBin = MakeButton(this, m_units.Rect(256, 76, 36, 14),
                                          QStringLiteral(u"閲覧/編集"), "m_btnOpenBinFile");
    m_pEditStatus = new CStatusLine(this);
    m_pEditStatus->setObjectName(QStringLiteral("m_strStatus"));
    m_pEditStatus->setFocusPolicy(Qt::TabFocus);
    m_units.Place(m_pEditStatus, 4, 96, 304, 20);
    m_pEditStatus->installEventFilter(this);
    MakeLabel(this, m_units.Rect(48, 32, 32, 8), QStringLiteral(u"タイトル"), Qt::AlignRight);
    // Shown beside the status line while a send runs, away from Send: a double-click on Send
    // must not reach it.
    m_pBtnAbort =
        MakeButton(this, m_units.Rect(256, 96, 52, 20), QStringLiteral(u"中止"), "m_btnAbort");
    m_pBtnAbort->hide();
    connect(m_pBtnAbort, &QPushButton::clicked, this, [this] { OnAbortSend(); });
    auto* pEscape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(pEscape, &QShortcut::activated, this, [this] { OnAbortSend(); });

    QWidget* const order[] = {pBtnExit,      pEditToName,  pEditToAddress,  pEditTitle,
                              pEditTextFile, pEditBinFile, pBtnAddressBook, m_pBtnSend,
                              pBtnTextFile,  pBtnBinFile,  pBtnEditText,    pBtnOpenBin,
                              m_pEditStatus};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    m_edits[0] = pEditToName;
    m_edits[1] = pEditToAddress;
    m_edits[2] = pEditTitle;
    m_edits[3] = pEditTextFile;
    m_edits[4] = pEditBinFile;

    const std::pair<QPushButton*, int> buttons[] = {{pBtnExit, ID_EXIT_BUTTON},
                                                    {pBtnAddressBook, ID_MAIN_BOOK_SELECT},
                                                    {m_pBtnSend, ID_SEND},
                                                    {pBtnTextFile, ID_SELECT_TEXT_FILE},
                                                    {pBtnBinFile, ID_SELECT_BIN_FILE},
                                                    {pBtnEditText, ID_EDIT_TEXT_FILE},
                                                    {pBtnOpenBin, ID_OPEN_BIN_FILE}};
    for (const auto& [pButton, nId] : buttons)
    {
        const int nCommand = nId;
        connect(pButton, &QPushButton::clicked, this, [this, nCommand] { OnCommand(nCommand); });
    }
}

QSize CTarvellView::FormSize() const
{
    return m_units.Size(FORM_WIDTH, FORM_HEIGHT);
}

bool CTarvellView::OnCommand(int nId)
{
    if (m_job.IsRunning() && !CommandRunsWhileSending(nId))
        return true; // the form and the document belong to the send until it ends
    switch (nId)
    {
    case ID_EXIT_BUTTON:
        OnExit();
        return true;
    case ID_MAIN_BOOK_SELECT:
        RunCommand(m_platform, [this] { OnAddressBook(); });
        return true;
    case ID_SEND:
        RunSend(); // reports its own file errors
        return true;
    case ID_RESEND:
        RunSend(SendKind::Resend);
        return true;
    case ID_TEST_SEND:
        RunSend(SendKind::TestSend);
        return true;
    case ID_PREVIEW:
        OnPreview();
        return true;
    case ID_SELECT_TEXT_FILE:
        RunCommand(m_platform, [this] { OnSelectTextFile(); });
        return true;
    case ID_SELECT_BIN_FILE:
        RunCommand(m_platform, [this] { OnSelectBinFile(); });
        return true;
    case ID_EDIT_TEXT_FILE:
        RunCommand(m_platform, [this] { OnEditTextFile(); });
        return true;
    case ID_OPEN_BIN_FILE:
        RunCommand(m_platform, [this] { OnOpenBinFile(); });
        return true;
    case ID_GROUP_SELECT:
        RunCommand(m_platform, [this] { OnGroupSelect(); });
        return true;
    default:
        return m_onFrameCommand && m_onFrameCommand(nId);
    }
}

void CTarvellView::OnPreview()
{
    const MessagePreview preview = m_form.Preview();
    if (!preview.bComposed)
    {
        m_platform.ShowMessage(
            ToSjis(QStringLiteral(u"プレビューできません: ")) + preview.strProblem, MsgButtons::Ok);
        return;
    }
    if (m_pPreviewDlg == nullptr)
        m_pPreviewDlg = new CPreviewDlg(this);
    m_pPreviewDlg->ShowPreview(preview);
    m_pPreviewDlg->show();
    m_pPreviewDlg->raise();
    m_pPreviewDlg->activateWindow();
}

void CTarvellView::RunSend(SendKind kind)
{
    // The worker gets the form as it is now: the controls are read here, on this thread.
    m_bReadBeforeSend = ReadControls();
    const bool bClose = m_job.Run(
        m_form, kind, [this](bool bSending) { ShowSending(bSending); }, RunEventsUntilDrained);
    if (bClose)
        OnExit();
}

void CTarvellView::ShowSending(bool bSending)
{
    // Disabling Send moves the focus on; it comes back when the send ends, so the keyboard user
    // finds it where it was.
    if (bSending)
        m_pFocusBeforeSend = QApplication::focusWidget();
    m_sendPlatform.DropTimerTicks(bSending);
    for (CSjisLineEdit* pEdit : m_edits)
        pEdit->setReadOnly(bSending);
    m_pBtnSend->setEnabled(!bSending && m_bSendAllowed);
    // The status line makes room for 中止 while it shows.
    m_units.Place(m_pEditStatus, 4, 96, bSending ? 248 : 304, 20);
    m_pBtnAbort->setVisible(bSending);
    if (bSending)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
    {
        QApplication::restoreOverrideCursor();
        if (m_pFocusBeforeSend != nullptr && m_pFocusBeforeSend->isEnabled())
            m_pFocusBeforeSend->setFocus();
    }
}

void CTarvellView::OnAbortSend()
{
    m_job.Abort();
}

bool CTarvellView::DeferCloseUntilSendEnds()
{
    return m_job.DeferClose();
}

void CTarvellView::ShowStrings()
{
    m_job.ShowStrings(m_sendPlatform.OnWindowThread(), m_form.Strings(),
                      [this](const FormStrings& shown) { ApplyStrings(shown); });
}

void CTarvellView::ApplyStrings(const FormStrings& strings)
{
    const std::string& strStatus = strings.strStatus;
    const std::string& strDetail = strings.strDetail;
    for (std::size_t i = 0; i < std::size(m_edits); ++i)
        m_edits[i]->setText(ToQString(strings[kFormFields[i]]));
    // The tooltip holds the whole text and, after a failure, its detail: which step and what the
    // server said.
    m_pEditStatus->SetStatus(ToQString(strStatus),
                             strDetail.empty()
                                 ? QString()
                                 : ToQString(strDetail) +
                                       QStringLiteral(u"\n(ダブルクリックで送信記録を表示)"));
    // A send that runs on this thread (no worker could start) blocks the event loop: paint the
    // status line now.
    m_pEditStatus->repaint();
}

bool CTarvellView::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pEditStatus && pEvent->type() == QEvent::MouseButtonDblClick)
    {
        if (m_onFrameCommand)
            m_onFrameCommand(ID_VIEW_TRACE); // the send-record viewer
        return true;
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

bool CTarvellView::ReadControls()
{
    if (!m_sendPlatform.OnWindowThread())
        return m_bReadBeforeSend; // read on this window's thread as the send began
    // The status line is not among the fields: it is never read back.
    for (std::size_t i = 0; i < std::size(m_edits); ++i)
    {
        const FormField field = kFormFields[i];
        std::string strText = m_form.Field(field);
        if (!ReadLimitedText(m_platform, m_edits[i], strText, FormFieldLimit(field)))
            return false;
        m_form.SetField(field, std::move(strText));
    }
    return true;
}

void CTarvellView::Message(const QString& qstrText)
{
    m_platform.ShowMessage(ToSjis(qstrText), MsgButtons::Ok);
}

void CTarvellView::EnableSend(bool bEnable)
{
    m_bSendAllowed = bEnable;
    m_pBtnSend->setEnabled(bEnable && !m_job.IsRunning());
}

void CTarvellView::IssueCommand(int nId)
{
    OnCommand(nId);
}

void CTarvellView::OnAutoSendAbandoned()
{
    // With a display the person who sees the error closes the program.
}

namespace
{
QPoint VisiblePosition(int nLeft, int nTop)
{
    // A position saved on a screen that is no longer there would open the window out of sight:
    // the window then opens at the default place instead.
    const QPoint pos(nLeft, nTop);
    if (QGuiApplication::screenAt(pos + QPoint(16, 8)) != nullptr)
        return pos;
    return QPoint(CfgData().nWindowLeft, CfgData().nWindowTop);
}
} // namespace

void CTarvellView::OnInitialUpdate()
{
    ShowForm();
    if (QWidget* pFrame = window(); pFrame != this)
        pFrame->move(VisiblePosition(m_doc.m_cfg.nWindowLeft, m_doc.m_cfg.nWindowTop));
    m_form.Clear();
    m_form.StartAutomaticSending(); // ends by showing the form
}

void CTarvellView::RunAddressDlg(int nMode, const std::string& strBookFile)
{
    CQtAddressDlg dlg(m_platform, window());
    dlg.m_logic.m_nMode = nMode;
    SetField(dlg.m_logic.m_szBookDir, m_doc.m_szAppDir);
    SetField(dlg.m_logic.m_szBookFile, strBookFile);
    dlg.m_logic.m_strName = m_form.Field(FormField::ToName);
    dlg.m_logic.m_strAddress = m_form.Field(FormField::ToAddress);
    if (m_platform.RunModal(dlg) == DLG_OK && !dlg.m_logic.m_strName.empty() &&
        !dlg.m_logic.m_strAddress.empty())
    {
        m_form.SetRecipient(dlg.m_logic.m_strName, dlg.m_logic.m_strAddress);
        ShowForm();
    }
}

void CTarvellView::OnAddressBook()
{
    ReadForm();
    RunAddressDlg(CAddressDlg::MODE_MAIN_SELECT, std::string());
    m_doc.EndStartMode(START_MAIN_BOOK_SELECT);
}

void CTarvellView::OnGroupSelect()
{
    ReadForm();
    const std::optional<std::string> book =
        ChooseGroupBook(m_platform, m_doc.m_szAppDir, GroupBookChoice::Existing);
    if (book)
        RunAddressDlg(CAddressDlg::MODE_GROUP_SELECT, *book);
    m_doc.EndStartMode(START_GROUP_BOOK_SELECT);
}

void CTarvellView::PickFile(const QString& qstrFilter, const char* pszExt, const char* pszStartDir,
                            FormField target)
{
    ReadForm();
    FileDialogRequest request;
    request.strStartDir = pszStartDir;
    request.strDefaultExt = pszExt;
    request.strFilter = ToSjis(qstrFilter);
    request.bMustExist = true;
    request.bReadOnlyTicked = true;
    const FileDialogResult result = m_platform.OpenFileDialog(request);
    if (result.bConfirmed)
        m_form.SetField(target, result.strPath);
    ShowForm();
}

void CTarvellView::OnSelectTextFile()
{
    PickFile(QStringLiteral(u"テキスト(*.txt)|*.txt||"), "txt", m_doc.m_cfg.szTextFileDir,
             FormField::TextFile);
}

void CTarvellView::OnSelectBinFile()
{
    PickFile(QStringLiteral(u"全て(*.*)|*.*||"), "*", m_doc.m_cfg.szBinFileDir, FormField::BinFile);
}

void CTarvellView::OnEditTextFile()
{
    ReadForm();
    if (!PathExists(m_form.Field(FormField::TextFile)))
    {
        Message(QStringLiteral(u"指定ファイルが存在しません。")); // troubleshooting
        return;
    }
    OpenInEditor(m_platform, m_doc.m_cfg, "\"" + m_form.Field(FormField::TextFile) + "\"");
}

void CTarvellView::OnOpenBinFile()
{
    ReadForm();
    if (!PathExists(m_form.Field(FormField::BinFile)))
    {
        Message(QStringLiteral(u"指定ファイルが存在しません。"));
        return;
    }
    if (m_platform.ShellOpen(m_form.Field(FormField::BinFile), std::string()) <= 32)
        Message(QStringLiteral(u"オープンできません。\n") +
                ToQString(m_form.Field(FormField::BinFile)));
}

void CTarvellView::OnExit()
{
    // A close request, carried out once control is back in the event loop.
    QMetaObject::invokeMethod(window(), "close", Qt::QueuedConnection);
}

void CTarvellView::OnDestroy()
{
    m_form.OnDestroy(); // stops the timer
    const QWidget* pFrame = window();
    if (pFrame == this)
        return;
    // The frame's outer top-left; a minimised window keeps the place it had before.
    QPoint pos = pFrame->pos();
    if (pFrame->isMinimized())
        pos = pFrame->normalGeometry().topLeft() - (pFrame->geometry().topLeft() - pFrame->pos());
    m_doc.StoreWindowPosition(pos.x(), pos.y());
}
