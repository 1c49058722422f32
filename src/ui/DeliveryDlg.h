// DeliveryDlg.h - the connection settings dialog ("接続設定"), opened from the sender settings:
// SMTP and POP3 security, the way of logging in, the extra CA file, the charset of the mail, and a
// line telling the ports.
// It edits a copy of the delivery profile; the caller writes Delivery.ini on OK.
#pragma once
#include "mail/DeliveryProfile.h"
#include "ui/ModalDialog.h"

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

    DeliveryProfile m_profile;

  private:
    // The choices as they stand in the controls.
    void ReadChoices(DeliveryProfile& profile) const;

    QComboBox* m_pComboSmtp;
    QComboBox* m_pComboPop;
    QComboBox* m_pComboAuth;
    QComboBox* m_pComboCharset;
    QSpinBox* m_pSpinInterval; // seconds between the members of a group send
    QPushButton* m_pBtnCaFile;
    CSjisLineEdit* m_pEditCaFile;
    QLabel* m_pLabelPorts;
    QLabel* m_pLabelWarning;
};
