// WinAddressDlg.h - the address book dialog's window on Windows (template 132): the list view,
// the number with its up-down control, the fields, over the window-free CAddressDlg.
#pragma once
#include "addr/AddressDlg.h"
#include "win/WinControls.h"

#include <windows.h>

class CWinAddressDlg : public IModalDialog, private IAddressDlgView
{
  public:
    explicit CWinAddressDlg(IPlatform& platform) : m_logic(platform, *this) {}
    std::string Title() const override { return m_logic.Title(); }
    // Runs the dialog; the logic's OnDestroy (the save question of mode 0) follows the close.
    int Exec() override;

    CAddressDlg m_logic;

  private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
    bool OnNotify(const NMHDR& header);

    // IAddressDlgView
    void SetFieldText(int nField, const std::string& strText) override;
    bool GetFieldText(int nField, std::string& strText) override;
    void FocusField(int nField) override;
    int SelectionMark() const override;
    int HotRow() const override { return m_nHotRow; }
    void ShowEntries(const AddressBook& book) override;
    void SetButtonCaptions(const std::string& strOK, const std::string& strCancel) override;
    void SetWindowTitle(const std::string& strTitle) override;
    void EndDialog(int nResult) override;

    HWND m_hDlg = nullptr;
    int m_nHotRow = -1;
    CFittedFonts m_fonts;
};
