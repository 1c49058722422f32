// AddressDlg.h - the address book dialog without its window: the modes, the book being shown,
// the fields' data exchange and the handlers of its buttons and list. The window side (src/ui)
// supplies the controls through the protected operations below.
#pragma once
#include "addr/AddressBook.h"
#include "app/Platform.h"

#include <string>

class CAddressDlg : public IModalDialog
{
  public:
    enum Mode
    {
        MODE_MAIN_SELECT = 0,   // pick a recipient from the main book
        MODE_MAIN_EDIT = 1,     // edit the main book
        MODE_GROUP_SELECT = 10, // pick a recipient from a group book
        MODE_GROUP_EDIT = 11,   // edit a group book
    };

    // Control ids of the fields the data exchange reads and writes.
    enum Field
    {
        IDC_NAME = 1000,
        IDC_ADDRESS = 1001,
        IDC_NO = 1025,
        IDC_INFO = 1029,
    };

    static constexpr int NAME_LIMIT = 127;
    static constexpr int ADDRESS_LIMIT = 255;

    explicit CAddressDlg(IPlatform& platform);
    ~CAddressDlg() override = default;

    // The window title of the mode: "Tarvell メイン・アドレス帳 - " or "Tarvell
    // グループ・アドレス帳 - " followed by the book's file name. Known before the dialog opens.
    std::string Title() const override;

    // The book's full path: the folder followed by the file name. Raises the file error for a
    // name that holds "/" or a path too long for the program's path buffers.
    std::string BookPath() const;

    // The help text shown at the right of the dialog, lines separated by CR LF.
    static std::string HelpText();

    // Members to fields (false) or fields to members with their checks (true). Reading stops at
    // the first field that fails, after its message; the fields before it have been taken over.
    bool UpdateData(bool bSaveAndValidate);

    void OnInitDialog();
    void OnSelect();     // "↑宛先・選択": the entry of the list's selection mark
    void OnDblClkList(); // the same with the row under the mouse cursor; does not close
    void OnClear();      // "クリア"
    void OnBrowse();     // "参照": a group book's file name into the address field
    void OnRegister();   // "↓登録（書戻し）": the fields into entry m_nNo
    // Saves the book in every mode, then closes if the fields read back. A book that could not be
    // read is saved only when an entry was changed, and after a question that says the file on
    // disk will be replaced.
    void OnOK();
    void OnDestroy(); // after closing: the save question, in mode 0 only
    void FillList();

    char m_szBookFile[128] = {}; // file name of the book, without folder
    int m_nMode = MODE_MAIN_SELECT;
    int m_bModified = 0;        // 1 after a registration (or a declined overwrite)
    char m_szBookDir[256] = {}; // folder of the book, ending in "/"
    AddressBook m_book;
    std::string m_strInfo;
    std::string m_strName;        // at most NAME_LIMIT bytes once read
    int m_nNo = 0;                // registration number 0 ... 50
    std::string m_strAddress;     // at most ADDRESS_LIMIT bytes once read
    bool m_bReadFailed = false;   // the book file could not be read when the dialog opened
    bool m_bEntryChanged = false; // an entry was registered since the dialog opened

  protected:
    // The window side.
    virtual void SetFieldText(int nField, const std::string& strText) = 0;
    // False when the field holds a character CP932 cannot write.
    virtual bool GetFieldText(int nField, std::string& strText) = 0;
    virtual void FocusField(int nField) = 0;
    virtual int SelectionMark() const = 0; // row last selected, -1 when none
    virtual int HotRow() const = 0;        // row under the mouse cursor, -1 when none
    virtual void ShowEntries(const AddressBook& book) = 0; // 50 rows; the selection is lost
    virtual void SetButtonCaptions(const std::string& strOK, const std::string& strCancel) = 0;
    virtual void SetWindowTitle(const std::string& strTitle) = 0;
    virtual void EndDialog(int nResult) = 0;

    IPlatform& m_platform;

  private:
    bool AskToReplaceUnreadBook();
    bool IsMainBookMode() const { return m_nMode == MODE_MAIN_SELECT || m_nMode == MODE_MAIN_EDIT; }
    void SetDefaultBookFile();
    void SelectRow(int nRow);
    bool ReadText(int nField, std::string& strMember, int nLimit);
};
