// AboutDlg.cpp - the About box.
#include "ui/AboutDlg.h"

#include "ui/AppIcon.h"
#include "ui/Controls.h"
#include "ui/QtText.h"

#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(IPlatform& platform, QWidget* pParent)
    : CModalDialog(platform, 235, 55, pParent)
{
    auto* pIcon = new QLabel(this);
    pIcon->setObjectName(QStringLiteral("m_icon"));
    const QRect iconRect = m_units.Rect(11, 17, 20, 20);
    const int nSide = qMin(iconRect.width(), iconRect.height());
    pIcon->setGeometry(QRect(iconRect.topLeft(), QSize(nSide, nSide)));
    pIcon->setPixmap(AppIcon().pixmap(nSide, nSide));

    MakeLabel(this, m_units.Rect(40, 10, 119, 8), QStringLiteral("Tarvell Version 1.02"))
        ->setObjectName(QStringLiteral("m_version"));
    MakeLabel(this, m_units.Rect(40, 25, 119, 8),
              QStringLiteral("Copyright (C) 2004 Tarvell Project"))
        ->setObjectName(QStringLiteral("m_copyright"));

    MakeOkButton(this, m_units.Rect(178, 7, 50, 14), QStringLiteral("OK"));
}

std::string CAboutDlg::Title() const
{
    return ToSjis(QStringLiteral(u"Tarvellのﾊﾞｰｼﾞｮﾝ情報"));
}
