// ModalDialog.cpp - the base of the program's modal dialogs.
#include "ui/ModalDialog.h"

#include "app/DataExchange.h"
#include "ui/Controls.h"
#include "ui/QtText.h"
#include "ui/SjisLineEdit.h"

#include <QLineEdit>
#include <QPushButton>

CModalDialog::CModalDialog(IPlatform& platform, int nWidth, int nHeight, QWidget* pParent)
    : QDialog(pParent), m_platform(platform), m_units(DialogFont())
{
    setFont(DialogFont());
    // A modal frame with a caption and a close box; no help button, no sizing.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(m_units.Size(nWidth, nHeight));
}

int CModalDialog::Exec()
{
    OnInitDialog();
    const int nResult = exec();
    OnDestroy();
    return nResult == QDialog::Accepted ? DLG_OK : DLG_CANCEL;
}

void CModalDialog::Open()
{
    OnInitDialog();
    show();
}

int CModalDialog::Finish()
{
    if (isVisible())
        reject();
    OnDestroy();
    return result() == QDialog::Accepted ? DLG_OK : DLG_CANCEL;
}

void CModalDialog::accept()
{
    if (UpdateData(true))
        QDialog::accept();
}

void CModalDialog::OnInitDialog()
{
    setWindowTitle(ToQString(Title()));
    UpdateData(false);
    // The focus starts on the first control in tab order, the default button.
    for (QPushButton* pButton : findChildren<QPushButton*>())
    {
        if (pButton->isDefault())
            pButton->setFocus();
    }
}

bool CModalDialog::ReadText(QLineEdit* pEdit, std::string& str, int nLimit)
{
    return ReadLimitedText(m_platform, pEdit, str, nLimit);
}

void CModalDialog::ShowText(QLineEdit* pEdit, const std::string& str)
{
    pEdit->setText(ToQString(str));
}
