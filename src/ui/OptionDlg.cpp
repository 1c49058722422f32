// OptionDlg.cpp - the options dialog.
#include "ui/OptionDlg.h"

#include "app/FileSystem.h"
#include "send/DialogTitles.h"
#include "ui/Controls.h"
#include "ui/QtText.h"
#include "ui/SjisLineEdit.h"

#include <QPushButton>

namespace
{
// The settings record holds each of these in 255 bytes.
constexpr int PATH_LIMIT = 255;
} // namespace

COptionDlg::COptionDlg(IPlatform& platform, QWidget* pParent)
    : CModalDialog(platform, 234, 111, pParent)
{
    m_pBtnOK = MakeOkButton(this, m_units.Rect(60, 92, 50, 14), QStringLiteral("OK"));
    QPushButton* pBtnCancel =
        MakeCancelButton(this, m_units.Rect(124, 92, 50, 14), QStringLiteral(u"ｷｬﾝｾﾙ"));
    QPushButton* pBtnText = MakeButton(this, m_units.Rect(4, 8, 84, 14),
                                       QStringLiteral(u"本文ファイルフォルダ"), "m_btnTextFileDir");
    m_pEditTextFileDir =
        MakeEdit(this, m_units.Rect(96, 8, 132, 14), "m_strTextFileDir", PATH_LIMIT);
    QPushButton* pBtnBin = MakeButton(this, m_units.Rect(4, 28, 84, 14),
                                      QStringLiteral(u"添付ファイルフォルダ"), "m_btnBinFileDir");
    m_pEditBinFileDir =
        MakeEdit(this, m_units.Rect(96, 28, 132, 14), "m_strBinFileDir", PATH_LIMIT);
    QPushButton* pBtnEditor = MakeButton(this, m_units.Rect(4, 48, 84, 14),
                                         QStringLiteral(u"テキストエディタ"), "m_btnEditorPath");
    m_pEditEditorPath =
        MakeEdit(this, m_units.Rect(96, 48, 132, 14), "m_strEditorPath", PATH_LIMIT);

    setTabOrder(m_pBtnOK, pBtnCancel);
    setTabOrder(pBtnCancel, pBtnText);
    setTabOrder(pBtnText, m_pEditTextFileDir);
    setTabOrder(m_pEditTextFileDir, pBtnBin);
    setTabOrder(pBtnBin, m_pEditBinFileDir);
    setTabOrder(m_pEditBinFileDir, pBtnEditor);
    setTabOrder(pBtnEditor, m_pEditEditorPath);

    connect(pBtnEditor, &QPushButton::clicked, this, &COptionDlg::OnEditorBrowse);
    connect(pBtnText, &QPushButton::clicked, this, &COptionDlg::OnTextFileDirBrowse);
    connect(pBtnBin, &QPushButton::clicked, this, &COptionDlg::OnBinFileDirBrowse);
}

std::string COptionDlg::Title() const
{
    return OptionsDialogTitle();
}

bool COptionDlg::UpdateData(bool bSaveAndValidate)
{
    if (!bSaveAndValidate)
    {
        ShowText(m_pEditEditorPath, m_strEditorPath);
        ShowText(m_pEditTextFileDir, m_strTextFileDir);
        ShowText(m_pEditBinFileDir, m_strBinFileDir);
        return true;
    }
    // The folders have no typing limit of their own in the dialog, but a longer path would not
    // fit the settings record, so it is refused like the editor path.
    return ReadText(m_pEditEditorPath, m_strEditorPath, PATH_LIMIT) &&
           ReadText(m_pEditTextFileDir, m_strTextFileDir, PATH_LIMIT) &&
           ReadText(m_pEditBinFileDir, m_strBinFileDir, PATH_LIMIT);
}

void COptionDlg::OnEditorBrowse()
{
    UpdateData(true); // a failed check has shown its message; the browse goes on regardless
    FileDialogRequest request;
    request.strTitle = ToSjis(QStringLiteral(u"メール編集で使用するテキストエディタの選択"));
    // Programs are told by their x bit, not by a name; the search starts where the editor
    // chosen before lives, else among the system's programs.
    const std::string strEditorDir = FolderOfPath(m_strEditorPath);
    request.strStartDir =
        !strEditorDir.empty() && IsFolder(strEditorDir) ? strEditorDir : std::string("/usr/bin/");
    request.strFilter = ToSjis(QStringLiteral(u"実行ファイル|*|全て(*.*)|*.*||"));
    request.bExecutablesOnly = true;
    request.bMustExist = true;
    request.bReadOnlyTicked = true;
    const FileDialogResult result = m_platform.OpenFileDialog(request);
    if (result.bConfirmed)
        m_strEditorPath = result.strPath;
    UpdateData(false);
}

void COptionDlg::OnTextFileDirBrowse()
{
    BrowseFolder(QStringLiteral(u"本文ファイルの選択用フォルダ"), m_strTextFileDir);
}

void COptionDlg::OnBinFileDirBrowse()
{
    BrowseFolder(QStringLiteral(u"添付ファイルの選択用フォルダ"), m_strBinFileDir);
}

void COptionDlg::BrowseFolder(const QString& qstrTitle, std::string& strDir)
{
    UpdateData(true);
    FileDialogRequest request;
    request.strTitle = ToSjis(qstrTitle);
    request.strStartDir = !strDir.empty() && IsFolder(strDir) ? strDir : std::string(m_pszAppDir);
    request.bFolder = true;
    request.bMustExist = true;
    const FileDialogResult result = m_platform.OpenFileDialog(request);
    if (result.bConfirmed)
        strDir = result.strPath;
    UpdateData(false);
}
