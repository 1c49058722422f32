// AddressDlg.h - the address book dialog without its window: the modes, the book being shown,
// the fields' data exchange and the handlers of its buttons and list. The window that owns it
// (src/ui) shows and reads the controls for it through IAddressDlgView.
#pragma once
#include "addr/AddressBook.h"
#include "addr/AddressDlgView.h"
#include "app/Platform.h"

#include <string>

class CAddressDlg
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
        IDC_ENTRY_NO = 1025,
        IDC_INFO = 1029,
    };

    static constexpr int NAME_LIMIT = 127;
    static constexpr int ADDRESS_LIMIT = 255;

    CAddressDlg(IPlatform& platform, IAddressDlgView& view);

    // The window title of the mode: "Tarvell メイン・アドレス帳 - " or "Tarvell
    // グループ・アドレス帳 - " followed by the book's file name. Known before the dialog opens.
    std::string Title() const;
    // The title of that mode and book file name, without a dialog.
    static std::string TitleOf(int nMode, const std::string& strBookFile);

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

  private:
    IPlatform& m_platform;
    IAddressDlgView& m_view;

    bool AskToReplaceUnreadBook();
    bool IsMainBookMode() const { return m_nMode == MODE_MAIN_SELECT || m_nMode == MODE_MAIN_EDIT; }
    void SetDefaultBookFile();
    void SelectRow(int nRow);
    bool ReadText(int nField, std::string& strMember, int nLimit);
};
