// SenderDlg.h - the sender settings dialog: the six texts of the sender record, the password
// masked, and a button to the connection settings. It edits copies; the caller stores them back on
// OK.
#pragma once
#include "ui/ModalDialog.h"

class CSjisLineEdit;
class QPushButton;

class CSenderDlg : public CModalDialog
{
    Q_OBJECT
  public:
    explicit CSenderDlg(IPlatform& platform, QWidget* pParent = nullptr);

    std::string Title() const override;
    bool UpdateData(bool bSaveAndValidate) override;

    std::string m_strName;
    std::string m_strMailAddress;
    std::string m_strSmtpServer;
    std::string m_strPop3Server;
    std::string m_strLoginName;
    std::string m_strPassword;

    // Button "接続設定...": the connection settings dialog; its OK writes Delivery.ini in the
    // program folder at once (the sender record itself still waits for this dialog's OK).
    void OnDeliverySettings();
    const char* m_pszAppDir = ""; // the program folder; set by the caller, not copied

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
