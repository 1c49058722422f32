// SenderDlg.h - the sender settings dialog: the six texts of the sender record, the password
// masked, and a button to the connection settings. It edits copies; the caller stores them back on
// OK.
#pragma once
#include "send/SenderSettings.h"
#include "mail/DeliveryProfile.h"
#include "ui/ModalDialog.h"

#include <optional>

class CSjisLineEdit;
class QPushButton;

class CSenderDlg : public CModalDialog, public SenderSettings
{
    Q_OBJECT
  public:
    explicit CSenderDlg(IPlatform& platform, QWidget* pParent = nullptr);

    std::string Title() const override;
    bool UpdateData(bool bSaveAndValidate) override;

    // Button "接続設定...": the connection settings dialog, on Delivery.ini of the program
    // folder. Its OK keeps the choices in m_delivery; like the sender record, they are stored
    // (Delivery.ini written) by the caller only when this dialog closes with OK.
    void OnDeliverySettings();

  private:
    struct Field
    {
        CSjisLineEdit* pEdit;
        std::string* pstr;
        int nLimit;
    };
    Field m_fields[6];
    QPushButton* m_pBtnOK;
};
