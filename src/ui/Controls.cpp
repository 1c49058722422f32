// Controls.cpp - the program's controls, placed in dialog units.
#include "ui/Controls.h"

#include "ui/SjisLineEdit.h"

#include <QLabel>
#include <QPushButton>

QPushButton* MakeButton(QWidget* pParent, const QRect& rect, const QString& qstrText, const char* pszName)
{
    auto* pButton = new QPushButton(qstrText, pParent);
    pButton->setObjectName(QLatin1String(pszName));
    pButton->setGeometry(rect);
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
    return pLabel;
}
