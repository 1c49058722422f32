// DeliveryDlg.cpp - the connection settings dialog.
#include "ui/DeliveryDlg.h"

#include "app/FileSystem.h"
#include "send/DeliverySettings.h"
#include "ui/Controls.h"
#include "ui/QtPlatform.h"
#include "ui/QtText.h"
#include "ui/SjisLineEdit.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <functional>
#include <utility>

namespace
{
QComboBox* MakeCombo(QWidget* pParent, const QRect& rect, const char* pszName,
                     const QStringList& items)
{
    QComboBox* pCombo = new QComboBox(pParent);
    pCombo->setObjectName(QString::fromLatin1(pszName));
    pCombo->setGeometry(rect);
    pCombo->addItems(items);
    return pCombo;
}

// The wait for the browser's sign-in. ｷｬﾝｾﾙ, Escape and the close box ask the sign-in to give
// up; the wait stays up (its caller closes it) until the sign-in has ended, so the dialog under
// it cannot be used meanwhile.
class CSignInWait : public QDialog
{
  public:
    CSignInWait(QWidget* pParent, const CDialogUnits& units, std::function<void()> cancel)
        : QDialog(pParent), m_cancel(std::move(cancel))
    {
        setObjectName(QStringLiteral("m_dlgSignInWait"));
        setWindowTitle(QStringLiteral(u"サインイン"));
        setFont(DialogFont());
        setFixedSize(units.Size(200, 56));
        MakeLabel(this, units.Rect(8, 10, 184, 16),
                  QStringLiteral(u"ブラウザでサインインしてください（5 分以内）。"));
        m_pBtnCancel =
            MakeButton(this, units.Rect(75, 34, 50, 14), QStringLiteral(u"ｷｬﾝｾﾙ"), "m_btnCancel");
        connect(m_pBtnCancel, &QPushButton::clicked, this, &CSignInWait::reject);
    }
    void reject() override
    {
        m_cancel();
        m_pBtnCancel->setEnabled(false);
    }

  private:
    std::function<void()> m_cancel;
    QPushButton* m_pBtnCancel;
};

// The names tests find the OAuth edits by.
const char* EditName(OAuthField field)
{
    switch (field)
    {
    case OAuthField::clientId:
        return "m_strClientId";
    case OAuthField::tenant:
        return "m_strTenant";
    case OAuthField::authorizeUrl:
        return "m_strAuthorizeUrl";
    case OAuthField::tokenUrl:
        return "m_strTokenUrl";
    case OAuthField::deviceUrl:
        return "m_strDeviceUrl";
    default:
        return "m_strScope";
    }
}
} // namespace

CDeliveryDlg::CDeliveryDlg(IPlatform& platform, QWidget* pParent)
    : CModalDialog(platform, 446, 186, pParent)
{
    const Qt::Alignment right = Qt::AlignRight;
    MakeLabel(this, m_units.Rect(4, 10, 60, 8), QStringLiteral(u"SMTP の暗号化"), right);
    m_pComboSmtp =
        MakeCombo(this, m_units.Rect(70, 8, 120, 14), "m_comboSmtp",
                  {QStringLiteral(u"なし"), QStringLiteral("STARTTLS"), QStringLiteral("SSL/TLS")});
    MakeLabel(this, m_units.Rect(4, 28, 60, 8), QStringLiteral(u"POP3 の暗号化"), right);
    m_pComboPop = MakeCombo(
        this, m_units.Rect(70, 26, 120, 14), "m_comboPop",
        {QStringLiteral(u"なし"), QStringLiteral("STARTTLS (STLS)"), QStringLiteral("SSL/TLS")});
    MakeLabel(this, m_units.Rect(4, 46, 60, 8), QStringLiteral(u"認証"), right);
    m_pComboAuth = MakeCombo(this, m_units.Rect(70, 44, 120, 14), "m_comboAuth",
                             // OAuth 2.0 is listed so that a profile set up with tarvell-config
                             // keeps it through OK; its keys are set there.
                             {QStringLiteral("POP before SMTP"), QStringLiteral(u"SMTP 認証"),
                              QStringLiteral(u"なし"), QStringLiteral("OAuth 2.0")});
    m_pBtnCaFile =
        MakeButton(this, m_units.Rect(4, 62, 60, 14), QStringLiteral(u"CAファイル"), "m_btnCaFile");
    m_pEditCaFile = MakeEdit(this, m_units.Rect(70, 62, 174, 14), "m_strCaFile", MAX_PATH_TEXT);
    MakeLabel(this, m_units.Rect(4, 82, 60, 8), QStringLiteral(u"文字コード"), right);
    m_pComboCharset = MakeCombo(this, m_units.Rect(70, 80, 120, 14), "m_comboCharset",
                                {QStringLiteral("ISO-2022-JP"), QStringLiteral("UTF-8")});
    MakeLabel(this, m_units.Rect(4, 100, 60, 8), QStringLiteral(u"送信間隔"), right);
    m_pSpinInterval = new QSpinBox(this);
    m_pSpinInterval->setObjectName(QStringLiteral("m_spinInterval"));
    m_pSpinInterval->setGeometry(m_units.Rect(70, 98, 60, 14));
    m_pSpinInterval->setRange(0, kMaxSendInterval);
    m_pSpinInterval->setSuffix(QStringLiteral(u" 秒"));
    m_pSpinInterval->setToolTip(QStringLiteral(u"グループ送信でメンバーの間に待つ秒数"));
    m_pLabelPorts = MakeLabel(this, m_units.Rect(4, 118, 242, 18), QString());
    m_pLabelPorts->setObjectName(QStringLiteral("m_labelPorts"));
    m_pLabelPorts->setWordWrap(true);
    m_pLabelWarning = MakeLabel(this, m_units.Rect(4, 138, 242, 20), QString());
    m_pLabelWarning->setObjectName(QStringLiteral("m_labelWarning"));
    m_pLabelWarning->setWordWrap(true);
    // OAuth 2.0, to the right of the rest.
    MakeLabel(this, m_units.Rect(250, 10, 56, 8), QStringLiteral(u"プロバイダ"), right);
    m_pComboProvider = MakeCombo(
        this, m_units.Rect(310, 8, 130, 14), "m_comboProvider",
        {QStringLiteral("Microsoft"), QStringLiteral("Google"), QStringLiteral(u"その他")});
    int y = 26;
    for (const OAuthField field : kOAuthFields)
    {
        MakeLabel(this, m_units.Rect(250, y + 2, 56, 8), ToQString(OAuthFieldLabel(field)), right);
        m_oauthEdits[field] =
            MakeEdit(this, m_units.Rect(310, y, 130, 14), EditName(field), kMaxOAuthText);
        y += 18;
    }
    m_pBtnSignIn = MakeButton(this, m_units.Rect(310, y, 60, 14), QStringLiteral(u"サインイン..."),
                              "m_btnSignIn");
    m_pLabelSignIn = MakeLabel(this, m_units.Rect(310, y + 18, 132, 18), QString());
    m_pLabelSignIn->setObjectName(QStringLiteral("m_labelSignIn"));
    m_pLabelSignIn->setWordWrap(true);

    QPushButton* pBtnOK = MakeOkButton(this, m_units.Rect(70, 164, 50, 14), QStringLiteral("OK"));
    QPushButton* pBtnCancel =
        MakeCancelButton(this, m_units.Rect(130, 164, 50, 14), QStringLiteral(u"ｷｬﾝｾﾙ"));

    setTabOrder(m_pComboSmtp, m_pComboPop);
    setTabOrder(m_pComboPop, m_pComboAuth);
    setTabOrder(m_pComboAuth, m_pBtnCaFile);
    setTabOrder(m_pBtnCaFile, m_pEditCaFile);
    setTabOrder(m_pEditCaFile, m_pComboCharset);
    setTabOrder(m_pComboCharset, m_pSpinInterval);
    QWidget* pPrevious = m_pSpinInterval;
    setTabOrder(pPrevious, m_pComboProvider);
    pPrevious = m_pComboProvider;
    for (const OAuthField field : kOAuthFields)
    {
        setTabOrder(pPrevious, m_oauthEdits[field]);
        pPrevious = m_oauthEdits[field];
        connect(m_oauthEdits[field], &QLineEdit::textChanged, this, &CDeliveryDlg::OnChoiceChanged);
    }
    setTabOrder(pPrevious, m_pBtnSignIn);
    setTabOrder(m_pBtnSignIn, pBtnOK);
    setTabOrder(pBtnOK, pBtnCancel);

    for (QComboBox* pCombo : {m_pComboSmtp, m_pComboPop, m_pComboAuth, m_pComboProvider})
        connect(pCombo, &QComboBox::currentIndexChanged, this, &CDeliveryDlg::OnChoiceChanged);
    connect(m_pBtnCaFile, &QPushButton::clicked, this, &CDeliveryDlg::OnCaFileBrowse);
    connect(m_pBtnSignIn, &QPushButton::clicked, this, &CDeliveryDlg::OnSignIn);
}

std::string CDeliveryDlg::Title() const
{
    return ToSjis(QStringLiteral(u"接続設定"));
}

void CDeliveryDlg::ReadChoices(DeliveryProfile& profile) const
{
    profile.smtp = static_cast<SmtpSecurity>(m_pComboSmtp->currentIndex());
    profile.pop = static_cast<PopSecurity>(m_pComboPop->currentIndex());
    profile.auth = static_cast<Authentication>(m_pComboAuth->currentIndex());
    profile.charset = static_cast<MailCharset>(m_pComboCharset->currentIndex());
    profile.nSendInterval = m_pSpinInterval->value();
    profile.oauth.provider = static_cast<OAuthProvider>(m_pComboProvider->currentIndex());
    for (const auto& [field, pEdit] : m_oauthEdits)
        if (!FromQString(pEdit->text(), OAuthFieldText(profile.oauth, field)))
            OAuthFieldText(profile.oauth, field) =
                ToSjis(QStringLiteral(u"？")); // the check refuses it
}

void CDeliveryDlg::OnChoiceChanged()
{
    DeliveryProfile profile = m_profile; // the keys the dialog does not show stay as they were
    ReadChoices(profile);
    m_pLabelPorts->setText(ToQString(DeliveryPortsText(profile)));
    m_pLabelWarning->setText(ToQString(ClearPasswordWarning(profile)));
    m_pComboPop->setEnabled(PopSecurityApplies(profile));
    m_pBtnCaFile->setEnabled(CaFileApplies(profile));
    m_pEditCaFile->setEnabled(CaFileApplies(profile));
    m_pComboProvider->setEnabled(profile.auth == Authentication::oauth2);
    for (const auto& [field, pEdit] : m_oauthEdits)
        pEdit->setEnabled(OAuthFieldApplies(profile, field));
    m_pBtnSignIn->setEnabled(CanSignIn(profile));
    m_pLabelSignIn->setText(ToQString(SignInStateText(profile, m_pszAppDir, m_strAccount)));
}

bool CDeliveryDlg::UpdateData(bool bSaveAndValidate)
{
    if (!bSaveAndValidate)
    {
        // The combo boxes list the choices in the order of the enumerations.
        m_pComboSmtp->setCurrentIndex(static_cast<int>(m_profile.smtp));
        m_pComboPop->setCurrentIndex(static_cast<int>(m_profile.pop));
        m_pComboAuth->setCurrentIndex(static_cast<int>(m_profile.auth));
        m_pComboCharset->setCurrentIndex(static_cast<int>(m_profile.charset));
        m_pSpinInterval->setValue(m_profile.nSendInterval);
        ShowText(m_pEditCaFile, m_profile.strCaFile);
        m_pComboProvider->setCurrentIndex(static_cast<int>(m_profile.oauth.provider));
        for (const auto& [field, pEdit] : m_oauthEdits)
            ShowText(pEdit, OAuthFieldText(m_profile.oauth, field));
        OnChoiceChanged();
        return true;
    }
    if (!ReadText(m_pEditCaFile, m_profile.strCaFile, static_cast<int>(MAX_PATH_TEXT)))
        return false;
    // The choices are kept even when the check below fails: the browse button reads the
    // controls and shows them again. The caller takes the profile only after OK.
    ReadChoices(m_profile);
    return CheckOAuth(m_profile);
}

bool CDeliveryDlg::CheckOAuth(const DeliveryProfile& profile)
{
    const OAuthFieldProblem problem = CheckOAuthFields(profile);
    if (problem.field == OAuthField::none)
        return true;
    m_platform.ShowMessage(problem.strMessage, MsgButtons::Ok);
    m_oauthEdits[problem.field]->setFocus();
    return false;
}

void CDeliveryDlg::OnSignIn()
{
    DeliveryProfile profile = m_profile;
    ReadChoices(profile);
    if (!ReadText(m_pEditCaFile, profile.strCaFile, static_cast<int>(MAX_PATH_TEXT)) ||
        !CheckOAuth(profile))
        return;
    // A modal wait with a cancel button while the worker waits for the browser: this window's
    // own loop goes on, a timer carries the worker's calls over.
    const auto progress = [this](const std::function<bool()>& drain,
                                 const std::function<void()>& cancel) {
        CSignInWait wait(this, m_units, cancel);
        wait.open();
        RunEventsUntilDrained(drain);
    };
    SignInFromDialog(m_platform, profile, m_pszAppDir, progress);
    OnChoiceChanged();
}

void CDeliveryDlg::OnCaFileBrowse()
{
    UpdateData(true);
    FileDialogRequest request;
    request.strTitle = ToSjis(QStringLiteral(u"信頼するCA証明書(PEM)の選択"));
    request.strStartDir = FolderOfPath(m_profile.strCaFile);
    if (request.strStartDir.empty() &&
        !FromQString(QDir::homePath() + QLatin1Char('/'), request.strStartDir))
        request.strStartDir.clear(); // the desktop's own choice
    request.strFilter = ToSjis(QStringLiteral(u"証明書(*.pem;*.crt)|*.pem;*.crt|全て(*.*)|*.*||"));
    request.bMustExist = true;
    const FileDialogResult result = m_platform.OpenFileDialog(request);
    if (result.bConfirmed)
        m_profile.strCaFile = result.strPath;
    UpdateData(false);
}
