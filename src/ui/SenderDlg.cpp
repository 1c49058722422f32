// SenderDlg.cpp - the sender settings dialog.
#include "ui/SenderDlg.h"

#include "app/Command.h"
#include "send/DeliverySettings.h"
#include "send/DialogTitles.h"
#include "ui/Controls.h"
#include "ui/DeliveryDlg.h"
#include "ui/QtText.h"
#include "ui/SjisLineEdit.h"

#include <QPushButton>

CSenderDlg::CSenderDlg(IPlatform& platform, QWidget* pParent)
    : CModalDialog(platform, 210, 163, pParent)
{
    m_pBtnOK = MakeOkButton(this, m_units.Rect(60, 132, 50, 14), QStringLiteral("OK"));
    QPushButton* pBtnCancel =
        MakeCancelButton(this, m_units.Rect(120, 132, 50, 14), QStringLiteral(u"ｷｬﾝｾﾙ"));

    const Qt::Alignment right = Qt::AlignRight;
    MakeLabel(this, m_units.Rect(20, 12, 35, 8), QStringLiteral(u"発送元氏名"), right);
    MakeLabel(this, m_units.Rect(12, 32, 43, 8), QStringLiteral(u"メールアドレス"), right);
    MakeLabel(this, m_units.Rect(16, 52, 39, 8), QStringLiteral(u"SMTPサーバ"), right);
    MakeLabel(this, m_units.Rect(16, 72, 38, 8), QStringLiteral(u"POP3サーバ"), right);
    MakeLabel(this, m_units.Rect(4, 92, 50, 8), QStringLiteral(u"メールログイン名"), right);
    MakeLabel(this, m_units.Rect(4, 112, 51, 8), QStringLiteral(u"メールパスワード"), right);

    static const char* const names[6] = {"m_strName",       "m_strMailAddress", "m_strSmtpServer",
                                         "m_strPop3Server", "m_strLoginName",   "m_strPassword"};
    std::string* const members[6] = {&m_strName,       &m_strMailAddress, &m_strSmtpServer,
                                     &m_strPop3Server, &m_strLoginName,   &m_strPassword};
    QWidget* pPrevious = pBtnCancel;
    setTabOrder(m_pBtnOK, pBtnCancel);
    for (int i = 0; i < 6; ++i)
    {
        const int nLimit = i == 1 ? 255 : 127;
        CSjisLineEdit* pEdit =
            MakeEdit(this, m_units.Rect(60, 8 + 20 * i, 140, 14), names[i], nLimit);
        m_fields[i] = Field{pEdit, members[i], nLimit};
        setTabOrder(pPrevious, pEdit);
        pPrevious = pEdit;
    }
    m_fields[5].pEdit->setEchoMode(QLineEdit::Password);

    // Left of OK, where the dialog has room: every original control keeps its place.
    QPushButton* pBtnDelivery = MakeButton(this, m_units.Rect(4, 132, 52, 14),
                                           QStringLiteral(u"接続設定..."), "m_btnDelivery");
    setTabOrder(pPrevious, pBtnDelivery);
    connect(pBtnDelivery, &QPushButton::clicked, this, &CSenderDlg::OnDeliverySettings);
}

void CSenderDlg::OnDeliverySettings()
{
    RunCommand(m_platform, [this] {
        CDeliveryDlg dlg(m_platform, this);
        dlg.m_profile = m_delivery ? *m_delivery : ReadDeliveryForEdit(m_pszAppDir);
        dlg.m_pszAppDir = m_pszAppDir;
        // The sign-in is shown for the log-in name as typed, the one the send will use.
        if (!FromQString(m_fields[4].pEdit->text(), dlg.m_strAccount))
            dlg.m_strAccount = m_strLoginName;
        if (m_platform.RunModal(dlg) == DLG_OK)
            m_delivery = dlg.m_profile;
    });
}

std::string CSenderDlg::Title() const
{
    return SenderDialogTitle();
}

bool CSenderDlg::UpdateData(bool bSaveAndValidate)
{
    for (Field& field : m_fields)
    {
        if (!bSaveAndValidate)
            ShowText(field.pEdit, *field.pstr);
        else if (!ReadText(field.pEdit, *field.pstr, field.nLimit))
            return false;
    }
    return true;
}
