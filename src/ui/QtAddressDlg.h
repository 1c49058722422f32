// QtAddressDlg.h - the address book dialog's window: its controls, placed as the dialog's
// template places them, wired to the handlers of the CAddressDlg it owns, which shows and reads
// them through IAddressDlgView.
#pragma once
#include "addr/AddressDlg.h"
#include "ui/DialogUnits.h"

#include <QDialog>

class CSjisLineEdit;
class CUpDown;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

class CQtAddressDlg : public QDialog, public IModalDialog, private IAddressDlgView
{
    Q_OBJECT
  public:
    explicit CQtAddressDlg(IPlatform& platform, QWidget* pParent = nullptr);

    std::string Title() const override { return m_logic.Title(); }
    // Opens, runs until closed, then runs the closing step (the save question).
    int Exec() override;

    // The same run in two halves, for a caller that drives the open dialog itself (tests).
    void Open();
    int Finish();

    void accept() override; // OK and Enter: OnOK

    // The dialog's logic: the caller presets its mode, book and fields and reads them back.
    CAddressDlg m_logic;

  private:
    void SetFieldText(int nField, const std::string& strText) override;
    bool GetFieldText(int nField, std::string& strText) override;
    void FocusField(int nField) override;
    int SelectionMark() const override { return m_nSelectionMark; }
    int HotRow() const override { return m_nHotRow; }
    void ShowEntries(const AddressBook& book) override;
    void SetButtonCaptions(const std::string& strOK, const std::string& strCancel) override;
    void SetWindowTitle(const std::string& strTitle) override;
    void EndDialog(int nResult) override;

    QWidget* FieldWidget(int nField) const;
    void SetColumnWidths();

    CDialogUnits m_units;
    QPushButton* m_pBtnOK;
    QPushButton* m_pBtnCancel;
    QTreeWidget* m_pListBook;
    CSjisLineEdit* m_pEditNo;
    CUpDown* m_pSpinNo;
    CSjisLineEdit* m_pEditName;
    CSjisLineEdit* m_pEditAddress;
    QPlainTextEdit* m_pEditInfo;
    int m_nSelectionMark = -1;
    int m_nHotRow = -1;
};
