// ModalDialog.h - the base of the program's modal dialogs: a QDialog that the platform runs
// (IModalDialog), with the dialog manager's steps around the run: fill the controls when it opens,
// read them back on OK, and a last step once it has closed.
#pragma once
#include "app/Platform.h"
#include "ui/DialogUnits.h"

#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;

class CModalDialog : public QDialog, public IModalDialog
{
    Q_OBJECT
  public:
    // nWidth, nHeight: the client area in dialog units.
    CModalDialog(IPlatform& platform, int nWidth, int nHeight, QWidget* pParent = nullptr);

    // IModalDialog: opens, runs until closed, then runs the closing step.
    int Exec() override;

    // The same run in two halves, for a caller that drives the open dialog itself (tests):
    // Open() shows it without waiting; Finish() closes it as Cancel if it is still open, runs
    // the closing step and returns DLG_OK or DLG_CANCEL.
    void Open();
    int Finish();

    // The data exchange: false shows the controls from the members; true reads and checks them,
    // stopping at the first field that fails (its message shown, the focus on it).
    virtual bool UpdateData(bool bSaveAndValidate) = 0;

    // OK closes the dialog only when the fields read back.
    void accept() override;

  protected:
    virtual void OnInitDialog(); // default: shows the members
    virtual void OnDestroy() {}

    // Reads a text edit into str, as CP932; a text over nLimit bytes (0: no limit) or one that
    // CP932 cannot hold shows its message and puts the focus there.
    bool ReadText(QLineEdit* pEdit, std::string& str, int nLimit);
    void ShowText(QLineEdit* pEdit, const std::string& str);

    IPlatform& m_platform;
    CDialogUnits m_units;
};
