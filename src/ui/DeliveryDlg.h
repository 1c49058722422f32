// DeliveryDlg.h - the connection settings dialog ("接続設定"), opened from the sender settings:
// SMTP and POP3 security, the way of logging in, the extra CA file, the charset of the mail, a
// line telling the ports, and on its right the OAuth 2.0 client with its browser sign-in.
// It edits a copy of the delivery profile; the caller writes Delivery.ini on OK.
#pragma once
#include "mail/DeliveryProfile.h"
#include "send/OAuthSignIn.h"
#include "ui/ModalDialog.h"

#include <map>

class CSjisLineEdit;
class QComboBox;
class QLabel;
class QPushButton;

class QSpinBox;

class CDeliveryDlg : public CModalDialog
{
    Q_OBJECT
  public:
    explicit CDeliveryDlg(IPlatform& platform, QWidget* pParent = nullptr);

    std::string Title() const override;
    bool UpdateData(bool bSaveAndValidate) override;

    // Picks the CA file, starting in the current file's folder, else the user's home.
    void OnCaFileBrowse();
    // A choice changed: the ports line, the warning and which controls apply follow it.
    void OnChoiceChanged();
    // "サインイン...": signs in through the browser with the client as typed, a progress window
    // meanwhile; a failure is shown in a message box with the server's words.
    void OnSignIn();

    DeliveryProfile m_profile;
    const char* m_pszAppDir = ""; // the program folder, where the sign-in is kept
    std::string m_strAccount;     // the log-in name the sign-in is shown for

  private:
    // The choices as they stand in the controls, the OAuth texts as typed (unchecked).
    void ReadChoices(DeliveryProfile& profile) const;
    // The OAuth fields checked; false with the message shown and the focus on the field.
    bool CheckOAuth(const DeliveryProfile& profile);

    QComboBox* m_pComboSmtp;
    QComboBox* m_pComboPop;
    QComboBox* m_pComboAuth;
    QComboBox* m_pComboCharset;
    QSpinBox* m_pSpinInterval; // seconds between the members of a group send
    QPushButton* m_pBtnCaFile;
    CSjisLineEdit* m_pEditCaFile;
    QLabel* m_pLabelPorts;
    QLabel* m_pLabelWarning;
    QComboBox* m_pComboProvider;
    std::map<OAuthField, CSjisLineEdit*> m_oauthEdits;
    QPushButton* m_pBtnSignIn;
    QLabel* m_pLabelSignIn;
};
