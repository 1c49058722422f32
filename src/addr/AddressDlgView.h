// AddressDlgView.h - what the address book dialog's logic asks of its window: the fields, the
// list with its marked and hot rows, the captions and title, and closing. Fields are named by
// CAddressDlg's control ids.
#pragma once
#include "addr/AddressBook.h"

#include <string>

class IAddressDlgView
{
  public:
    virtual ~IAddressDlgView() = default;

    virtual void SetFieldText(int nField, const std::string& strText) = 0;
    // False when the field holds a character CP932 cannot write.
    virtual bool GetFieldText(int nField, std::string& strText) = 0;
    virtual void FocusField(int nField) = 0;
    virtual int SelectionMark() const = 0; // row last selected, -1 when none
    virtual int HotRow() const = 0;        // row under the mouse cursor, -1 when none
    virtual void ShowEntries(const AddressBook& book) = 0; // 50 rows; the selection is lost
    virtual void SetButtonCaptions(const std::string& strOK, const std::string& strCancel) = 0;
    virtual void SetWindowTitle(const std::string& strTitle) = 0;
    virtual void EndDialog(int nResult) = 0; // DLG_OK or DLG_CANCEL
};
