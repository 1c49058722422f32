// SendRecordDlg.cpp - the send-record viewer.
#include "ui/SendRecordDlg.h"

#include "app/AppFiles.h"
#include "app/FileSystem.h"
#include "ui/FileCommands.h"
#include "ui/QtText.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace
{
// The most of a record file shown; a longer one is opened in the editor instead.
constexpr std::size_t MAX_SHOWN_BYTES = 8u << 20;
} // namespace

QString ReadableRecordText(const std::string& strBytes)
{
    QString qstrText = ToQString(strBytes);
    qstrText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar& ch : qstrText)
    {
        if (ch.category() == QChar::Other_Control && ch != QLatin1Char('\n') &&
            ch != QLatin1Char('\t'))
            ch = QChar::ReplacementCharacter;
    }
    return qstrText;
}

CSendRecordDlg::CSendRecordDlg(IPlatform& platform, const CfgData& cfg, QWidget* pParent)
    : QDialog(pParent), m_platform(platform), m_cfg(cfg)
{
    setObjectName(QStringLiteral("CSendRecordDlg"));
    setWindowTitle(QStringLiteral(u"送信記録"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    auto* pSplitter = new QSplitter(Qt::Horizontal, this);
    m_trace = MakePane(pSplitter, QStringLiteral(u"最後の送信の記録（サーバとのやり取り）"),
                       "m_textTrace");
    m_log = MakePane(pSplitter, QStringLiteral(u"今月の送信ログ"), "m_textLog");
    pSplitter->setStretchFactor(0, 3);
    pSplitter->setStretchFactor(1, 2);
    auto* pClose = new QPushButton(QStringLiteral(u"閉じる"), this);
    pClose->setObjectName(QStringLiteral("m_btnClose"));
    connect(pClose, &QPushButton::clicked, this, &QDialog::close);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pSplitter, 1);
    pLayout->addWidget(pClose, 0, Qt::AlignRight);
    resize(900, 520);
}

CSendRecordDlg::Pane CSendRecordDlg::MakePane(QWidget* pParent, const QString& qstrTitle,
                                              const char* pszName)
{
    auto* pBox = new QWidget(pParent);
    auto* pTitle = new QLabel(qstrTitle, pBox);
    Pane pane{new QLabel(pBox), new QPlainTextEdit(pBox), std::string()};
    pane.pLabelPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pane.pText->setObjectName(QString::fromLatin1(pszName));
    pane.pText->setReadOnly(true);
    pane.pText->setLineWrapMode(QPlainTextEdit::NoWrap);
    pane.pText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* pEditor = new QPushButton(QStringLiteral(u"エディタで開く"), pBox);
    pEditor->setObjectName(QString::fromLatin1(pszName) + QStringLiteral("Editor"));
    // The pane's path is read when clicked: ShowRecords may have changed it.
    Pane* pSelf = std::string(pszName) == "m_textTrace" ? &m_trace : &m_log;
    connect(pEditor, &QPushButton::clicked, this,
            [this, pSelf] { OpenInEditor(m_platform, m_cfg, pSelf->strPath); });
    auto* pHead = new QHBoxLayout;
    pHead->addWidget(pTitle);
    pHead->addStretch(1);
    pHead->addWidget(pEditor);
    auto* pLayout = new QVBoxLayout(pBox);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addLayout(pHead);
    pLayout->addWidget(pane.pLabelPath);
    pLayout->addWidget(pane.pText, 1);
    return pane;
}

void CSendRecordDlg::ShowRecords(const std::string& strAppDir, const std::string& strLogName)
{
    ShowFile(m_trace, strAppDir + kTracePath);
    ShowFile(m_log, strAppDir + kLogFolder + strLogName);
}

void CSendRecordDlg::ShowFile(Pane& pane, const std::string& strPath)
{
    pane.strPath = strPath;
    pane.pLabelPath->setText(ToQString(strPath));
    if (!PathExists(strPath))
    {
        pane.pText->setPlainText(
            QStringLiteral(u"（まだありません。送信するとここに記録されます）"));
        return;
    }
    try
    {
        pane.pText->setPlainText(ReadableRecordText(ReadWholeFile(strPath, MAX_SHOWN_BYTES)));
        pane.pText->moveCursor(QTextCursor::End); // the newest lines
    }
    catch (const CFileException& e)
    {
        pane.pText->setPlainText(
            ToQString(FileErrorText(e)) +
            QStringLiteral(u"\n（大きなファイルは「エディタで開く」で開いてください）"));
    }
}
