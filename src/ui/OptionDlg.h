// OptionDlg.h - the options dialog: the text editor and the folders the body-file and attachment
// pickers start in. It edits copies; the caller stores them back on OK.
#pragma once
#include "ui/ModalDialog.h"

class CSjisLineEdit;
class QPushButton;

class COptionDlg : public CModalDialog
{
    Q_OBJECT
  public:
    explicit COptionDlg(IPlatform& platform, QWidget* pParent = nullptr);

    std::string Title() const override;
    bool UpdateData(bool bSaveAndValidate) override;

    void OnEditorBrowse();
    void OnTextFileDirBrowse();
    void OnBinFileDirBrowse();

    const char* m_pszAppDir = ""; // the program folder; set by the caller, not copied
    std::string m_strEditorPath;
    std::string m_strTextFileDir;
    std::string m_strBinFileDir;

  private:
    // A folder chooser starting in the field's folder (else the program folder); the result
    // ends in "/".
    void BrowseFolder(const QString& qstrTitle, std::string& strDir);

    QPushButton* m_pBtnOK;
    CSjisLineEdit* m_pEditEditorPath;
    CSjisLineEdit* m_pEditTextFileDir;
    CSjisLineEdit* m_pEditBinFileDir;
};
