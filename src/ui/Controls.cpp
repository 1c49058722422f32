// Controls.cpp - the program's controls, placed in dialog units.
#include "ui/Controls.h"

#include "app/DataExchange.h"
#include "app/Platform.h"
#include "ui/QtText.h"
#include "ui/SjisLineEdit.h"

#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

void FitTextToWidth(QWidget* pWidget, const QString& qstrText, int nAvailable)
{
    QFont font = pWidget->font();
    font.setStretch(QFont::Unstretched);
    int nStretch = 100;
    // Each line of the text must fit; buttons show theirs on one line.
    int nWidest = 0;
    for (const QString& qstrLine : qstrText.split(QLatin1Char('\n')))
        nWidest = qMax(nWidest, QFontMetrics(font).horizontalAdvance(qstrLine));
    if (nWidest > nAvailable && nAvailable > 0)
        nStretch = qMax(75, nAvailable * 100 / nWidest);
    font.setStretch(nStretch);
    pWidget->setFont(font);
}

QPushButton* MakeButton(QWidget* pParent, const QRect& rect, const QString& qstrText,
                        const char* pszName)
{
    auto* pButton = new QPushButton(qstrText, pParent);
    pButton->setObjectName(QLatin1String(pszName));
    pButton->setGeometry(rect);
    FitTextToWidth(pButton, qstrText, rect.width() - 8);
    return pButton;
}

CSjisLineEdit* MakeEdit(QWidget* pParent, const QRect& rect, const char* pszName, int nByteLimit)
{
    auto* pEdit = new CSjisLineEdit(pParent);
    pEdit->setObjectName(QLatin1String(pszName));
    pEdit->SetByteLimit(nByteLimit);
    pEdit->setGeometry(rect);
    return pEdit;
}

QLabel* MakeLabel(QWidget* pParent, const QRect& rect, const QString& qstrText, Qt::Alignment align)
{
    auto* pLabel = new QLabel(qstrText, pParent);
    pLabel->setAlignment(align | Qt::AlignTop);
    pLabel->setGeometry(rect);
    FitTextToWidth(pLabel, qstrText, rect.width());
    return pLabel;
}

QPushButton* MakeOkButton(QDialog* pDialog, const QRect& rect, const QString& qstrText)
{
    QPushButton* pButton = MakeButton(pDialog, rect, qstrText, "m_btnOK");
    pButton->setDefault(true);
    QObject::connect(pButton, &QPushButton::clicked, pDialog, &QDialog::accept);
    return pButton;
}

QPushButton* MakeCancelButton(QDialog* pDialog, const QRect& rect, const QString& qstrText)
{
    QPushButton* pButton = MakeButton(pDialog, rect, qstrText, "m_btnCancel");
    QObject::connect(pButton, &QPushButton::clicked, pDialog, &QDialog::reject);
    return pButton;
}

bool ReadLimitedText(IPlatform& platform, QLineEdit* pEdit, std::string& str, int nLimit)
{
    std::string strText;
    const bool bConvertible = FromQString(pEdit->text(), strText);
    const std::string strMessage =
        TextFieldMessage(bConvertible, strText.size(), static_cast<std::size_t>(nLimit));
    if (!strMessage.empty())
    {
        platform.ShowMessage(strMessage, MsgButtons::Ok);
        pEdit->setFocus();
        pEdit->selectAll();
        return false;
    }
    str = strText;
    return true;
}
