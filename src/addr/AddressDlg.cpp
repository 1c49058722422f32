// AddressDlg.cpp - the address book dialog's logic.
#include "addr/AddressDlg.h"

#include "app/Command.h"
#include "app/DataExchange.h"
#include "app/FileSystem.h"
#include "app/Sjis.h"

#include <cstdio>
#include <cstring>

namespace
{
const char* const GROUP_BOOK_FILTER = "グループアドレス帳(@*.tvl)|@*.tvl||";
const char* const GROUP_BOOK_EXT = "tvl";

bool IsEmptyEntry(const AddressEntry& entry)
{
    return entry.szName[0] == '\0' && entry.szAddress[0] == '\0';
}
} // namespace

CAddressDlg::CAddressDlg(IPlatform& platform, IAddressDlgView& view)
    : m_platform(platform), m_view(view)
{
}

std::string CAddressDlg::Title() const
{
    return TitleOf(m_nMode, FieldText(m_szBookFile));
}

std::string CAddressDlg::TitleOf(int nMode, const std::string& strBookFile)
{
    if (nMode == MODE_MAIN_SELECT || nMode == MODE_MAIN_EDIT)
        return std::string("Tarvell メイン・アドレス帳 - ") + MAIN_BOOK_NAME;
    return "Tarvell グループ・アドレス帳 - " + strBookFile;
}

std::string CAddressDlg::BookPath() const
{
    return PathInFolder(FieldText(m_szBookDir), FieldText(m_szBookFile));
}

std::string CAddressDlg::HelpText()
{
    return "※新規登録\r\n"
           "未使用のNo(1～50)で氏名/メールアドレスを記入して「登録」するとリストに反映します。\r\n"
           "\r\n"
           "※注意\r\n"
           "「グループ名」の登録は「メインアドレス帳」の中でのみ登録可能です。\r\n"
           "「グループアドレス帳」のファイル名の最初の文字は「@」に決められています。";
}

bool CAddressDlg::ReadText(int nField, std::string& strMember, int nLimit)
{
    std::string strText;
    const bool bConvertible = m_view.GetFieldText(nField, strText);
    const std::string strMessage =
        TextFieldMessage(bConvertible, strText.size(), static_cast<std::size_t>(nLimit));
    if (!strMessage.empty())
    {
        m_platform.ShowMessage(strMessage, MsgButtons::Ok);
        m_view.FocusField(nField);
        return false;
    }
    strMember = strText;
    return true;
}

bool CAddressDlg::UpdateData(bool bSaveAndValidate)
{
    if (!bSaveAndValidate)
    {
        m_view.SetFieldText(IDC_INFO, m_strInfo);
        m_view.SetFieldText(IDC_NAME, m_strName);
        m_view.SetFieldText(IDC_ENTRY_NO, std::to_string(m_nNo));
        m_view.SetFieldText(IDC_ADDRESS, m_strAddress);
        return true;
    }
    if (!ReadText(IDC_NAME, m_strName, NAME_LIMIT))
        return false;

    std::string strNo;
    int nNo = 0;
    const std::string strMessage = m_view.GetFieldText(IDC_ENTRY_NO, strNo)
                                       ? IntFieldMessage(strNo, 0, ADDRESS_BOOK_ENTRIES, nNo)
                                       : NotIntegerMessage();
    if (!strMessage.empty())
    {
        m_platform.ShowMessage(strMessage, MsgButtons::Ok);
        m_view.FocusField(IDC_ENTRY_NO);
        return false;
    }
    m_nNo = nNo;

    return ReadText(IDC_ADDRESS, m_strAddress, ADDRESS_LIMIT);
}

void CAddressDlg::SetDefaultBookFile()
{
    if (IsMainBookMode())
        SetField(m_szBookFile, MAIN_BOOK_NAME);
}

void CAddressDlg::OnInitDialog()
{
    m_strInfo = HelpText();
    m_bModified = 0;
    if (m_nMode == MODE_MAIN_EDIT || m_nMode == MODE_GROUP_EDIT)
        m_view.SetButtonCaptions("保存終了", "キャンセル");
    SetDefaultBookFile();
    for (AddressEntry& entry : m_book.entries)
    {
        entry.szName[0] = '\0';
        entry.szAddress[0] = '\0';
    }
    // A book that cannot be read is reported; the dialog then shows an empty book, which must not
    // silently replace the file it could not read.
    m_bEntryChanged = false;
    m_bReadFailed = !RunCommand(m_platform, [this] { LoadBook(BookPath(), m_book); });
    FillList();
    m_view.SetWindowTitle(Title());
    UpdateData(false);
}

void CAddressDlg::FillList()
{
    m_view.ShowEntries(m_book);
}

void CAddressDlg::SelectRow(int nRow)
{
    UpdateData(true); // a failed field has shown its message; the selection goes on
    m_nNo = nRow + 1;
    if (m_nNo >= 1 && m_nNo <= ADDRESS_BOOK_ENTRIES)
    {
        const AddressEntry& entry = m_book.entries[m_nNo - 1];
        m_strName = FieldText(entry.szName);
        m_strAddress = FieldText(entry.szAddress);
    }
    UpdateData(false);
}

void CAddressDlg::OnSelect()
{
    SelectRow(m_view.SelectionMark());
}

void CAddressDlg::OnDblClkList()
{
    SelectRow(m_view.HotRow());
}

void CAddressDlg::OnClear()
{
    m_strName.clear();
    m_strAddress.clear();
    UpdateData(false);
}

void CAddressDlg::OnBrowse()
{
    UpdateData(true);
    FileDialogRequest request;
    request.strStartDir = FieldText(m_szBookDir);
    request.strDefaultExt = GROUP_BOOK_EXT;
    request.strFilter = GROUP_BOOK_FILTER;
    request.bMustExist = true;
    const FileDialogResult result = m_platform.OpenFileDialog(request);
    if (!result.bConfirmed)
        return;
    m_strAddress = result.strName;
    UpdateData(false);
}

void CAddressDlg::OnRegister()
{
    if (!UpdateData(true))
        return;
    if (m_nMode == MODE_GROUP_EDIT && IsGroupReference(m_strAddress))
    {
        m_platform.ShowMessage(GroupInGroupMessage(), MsgButtons::Ok);
        m_strName.clear();
        m_strAddress.clear();
        UpdateData(false);
        return;
    }
    if (m_nNo < 1 || m_nNo > ADDRESS_BOOK_ENTRIES)
    {
        m_platform.ShowMessage("登録No.0 には登録できません", MsgButtons::Ok);
        UpdateData(false);
        return;
    }
    // Only addresses the send would take go in; a group reference is checked above.
    if (const std::string_view problem = EntryAddressProblem(m_strName, m_strAddress);
        !problem.empty())
    {
        m_platform.ShowMessage(std::string(problem), MsgButtons::Ok);
        m_view.FocusField(IDC_ADDRESS);
        return;
    }
    AddressEntry& entry = m_book.entries[m_nNo - 1];
    if (!IsEmptyEntry(entry))
    {
        char szQuestion[128];
        std::snprintf(szQuestion, sizeof(szQuestion),
                      "No. %02d へ上書きしようとしています。よろしいでしょうか？", m_nNo);
        if (m_platform.ShowMessage(szQuestion, MsgButtons::OkCancel) != MsgResult::Ok)
        {
            m_bModified = 1;
            UpdateData(false);
            return;
        }
    }
    // The data exchange has checked both lengths; the copy is bounded all the same.
    SetField(entry.szName, m_strName);
    SetField(entry.szAddress, m_strAddress);
    FillList();
    m_bModified = 1;
    m_bEntryChanged = true;
    UpdateData(false);
}

bool CAddressDlg::AskToReplaceUnreadBook()
{
    return m_platform.ShowMessage("アドレス帳ファイルを読み込めませんでした。保存すると、"
                                  "ディスク上のファイルがこの内容で置き換えられます。"
                                  "保存しますか？",
                                  MsgButtons::YesNo) == MsgResult::Yes;
}

void CAddressDlg::OnOK()
{
    // The book is written whatever the mode and whether or not it changed, unless it could not be
    // read: it is then written only when an entry was changed and the user agrees to replace the
    // file (declining keeps the dialog open). A failed save keeps the dialog open and the book
    // marked as it was.
    const bool bSave = !m_bReadFailed || m_bEntryChanged;
    if (bSave && m_bReadFailed && !AskToReplaceUnreadBook())
        return;
    if (bSave && !RunCommand(m_platform, [this] { SaveBook(BookPath(), m_book); }))
        return;
    m_bModified = 0;
    if (UpdateData(true))
        m_view.EndDialog(DLG_OK);
}

void CAddressDlg::OnDestroy()
{
    if (m_bModified != 1 || m_nMode != MODE_MAIN_SELECT)
        return;
    if (m_bReadFailed)
    {
        if (!m_bEntryChanged || !AskToReplaceUnreadBook())
            return;
    }
    else if (m_platform.ShowMessage("アドレス帳が更新されています。ディスクに保存しますか？",
                                    MsgButtons::YesNo) != MsgResult::Yes)
        return;
    RunCommand(m_platform, [this] { SaveBook(BookPath(), m_book); });
    m_bModified = 0;
}
