// PreviewDlg.cpp - the preview window.
#include "ui/PreviewDlg.h"

#include "ui/SendRecordDlg.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace
{
QPlainTextEdit* MakeText(QWidget* pParent, const char* pszName)
{
    auto* pText = new QPlainTextEdit(pParent);
    pText->setObjectName(QString::fromLatin1(pszName));
    pText->setReadOnly(true);
    pText->setLineWrapMode(QPlainTextEdit::NoWrap);
    pText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return pText;
}
} // namespace

QString SourceText(const std::string& strSource)
{
    QString qstrText =
        QString::fromLatin1(strSource.data(), static_cast<qsizetype>(strSource.size()));
    qstrText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    qstrText.replace(QChar(0x1B), QChar(0x241B));
    return qstrText;
}

CPreviewDlg::CPreviewDlg(QWidget* pParent) : QDialog(pParent)
{
    setObjectName(QStringLiteral("CPreviewDlg"));
    setWindowTitle(QStringLiteral(u"プレビュー"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    auto* pTabs = new QTabWidget(this);
    m_pShown = MakeText(pTabs, "m_textShown");
    m_pSource = MakeText(pTabs, "m_textSource");
    pTabs->addTab(m_pShown, QStringLiteral(u"表示"));
    pTabs->addTab(m_pSource, QStringLiteral(u"ソース"));
    auto* pClose = new QPushButton(QStringLiteral(u"閉じる"), this);
    pClose->setObjectName(QStringLiteral("m_btnClose"));
    connect(pClose, &QPushButton::clicked, this, &QDialog::close);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pTabs, 1);
    pLayout->addWidget(pClose, 0, Qt::AlignRight);
    resize(760, 560);
}

void CPreviewDlg::ShowPreview(const MessagePreview& preview)
{
    m_pShown->setPlainText(ReadableRecordText(preview.strShown));
    m_pSource->setPlainText(SourceText(preview.strSource));
}
