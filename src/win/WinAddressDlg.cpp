// WinAddressDlg.cpp - the address book dialog's window on Windows.
#include "win/WinAddressDlg.h"

#include "app/Sjis.h"
#include "app/WinText.h"
#include "win/resource.h"

#include <commctrl.h>

#include <cstdio>

int CWinAddressDlg::Exec()
{
    const INT_PTR nResult = ::DialogBoxParamW(
        ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ADDRESS), ::GetActiveWindow(),
        &CWinAddressDlg::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hDlg = nullptr;
    m_fonts.Release();
    m_logic.OnDestroy();
    return nResult == IDOK ? DLG_OK : DLG_CANCEL;
}

INT_PTR CALLBACK CWinAddressDlg::DialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    auto* pThis = reinterpret_cast<CWinAddressDlg*>(::GetWindowLongPtrW(hDlg, DWLP_USER));
    switch (uMsg)
    {
    case WM_INITDIALOG: {
        pThis = reinterpret_cast<CWinAddressDlg*>(lParam);
        ::SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        pThis->m_hDlg = hDlg;
        pThis->m_fonts.Fit(hDlg);
        const HWND hList = ::GetDlgItem(hDlg, IDC_BOOK_LIST);
        ListView_SetExtendedListViewStyle(hList, LVS_EX_FULLROWSELECT | LVS_EX_TWOCLICKACTIVATE);
        // Columns of a tenth, three and six tenths of the client width as it is with its 50
        // rows, which always need the vertical scroll bar: taken before any row, the width of
        // the bar would be lost to a horizontal one.
        RECT rc{};
        ::GetClientRect(hList, &rc);
        const int w = (rc.right - rc.left - ::GetSystemMetrics(SM_CXVSCROLL)) / 10;
        const wchar_t* const titles[3] = {L"No", L"氏名", L"メールアドレス"};
        const int widths[3] = {w, 3 * w, 6 * w};
        for (int i = 0; i < 3; ++i)
        {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.pszText = const_cast<wchar_t*>(titles[i]);
            column.cx = widths[i];
            ::SendMessageW(hList, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                           reinterpret_cast<LPARAM>(&column));
        }
        ::SendDlgItemMessageW(hDlg, IDC_BOOK_SPIN, UDM_SETRANGE32, 0, ADDRESS_BOOK_ENTRIES);
        ::SendDlgItemMessageW(hDlg, IDC_BOOK_NAME, EM_LIMITTEXT, CAddressDlg::NAME_LIMIT, 0);
        ::SendDlgItemMessageW(hDlg, IDC_BOOK_ADDRESS, EM_LIMITTEXT, CAddressDlg::ADDRESS_LIMIT, 0);
        pThis->m_logic.OnInitDialog();
        return TRUE; // the focus goes to OK, the first control of the template
    }
    case WM_NOTIFY:
        return pThis != nullptr && pThis->OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        if (pThis == nullptr || HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        switch (LOWORD(wParam))
        {
        case IDOK:
            pThis->m_logic.OnOK(); // saves, then closes when the fields read back
            return TRUE;
        case IDCANCEL:
            ::EndDialog(hDlg, IDCANCEL);
            return TRUE;
        case IDC_BOOK_CLEAR:
            pThis->m_logic.OnClear();
            return TRUE;
        case IDC_BOOK_SELECT:
            pThis->m_logic.OnSelect();
            return TRUE;
        case IDC_BOOK_REGISTER:
            pThis->m_logic.OnRegister();
            return TRUE;
        case IDC_BOOK_BROWSE:
            pThis->m_logic.OnBrowse();
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

bool CWinAddressDlg::OnNotify(const NMHDR& header)
{
    if (header.idFrom != IDC_BOOK_LIST)
        return false;
    if (header.code == LVN_HOTTRACK)
        m_nHotRow = reinterpret_cast<const NMLISTVIEW&>(header).iItem;
    else if (header.code == NM_DBLCLK)
    {
        const int nRow = reinterpret_cast<const NMITEMACTIVATE&>(header).iItem;
        if (nRow >= 0)
            m_nHotRow = nRow;
        m_logic.OnDblClkList();
    }
    return false;
}

void CWinAddressDlg::SetFieldText(int nField, const std::string& strText)
{
    SetWindowTextSjis(::GetDlgItem(m_hDlg, nField), strText);
}

bool CWinAddressDlg::GetFieldText(int nField, std::string& strText)
{
    return WideToSjis(WindowTextWide(::GetDlgItem(m_hDlg, nField)), strText);
}

void CWinAddressDlg::FocusField(int nField)
{
    const HWND hEdit = ::GetDlgItem(m_hDlg, nField);
    ::SetFocus(hEdit);
    ::SendMessageW(hEdit, EM_SETSEL, 0, -1);
}

int CWinAddressDlg::SelectionMark() const
{
    return static_cast<int>(
        ::SendDlgItemMessageW(m_hDlg, IDC_BOOK_LIST, LVM_GETSELECTIONMARK, 0, 0));
}

void CWinAddressDlg::ShowEntries(const AddressBook& book)
{
    const HWND hList = ::GetDlgItem(m_hDlg, IDC_BOOK_LIST);
    ::SendMessageW(hList, LVM_DELETEALLITEMS, 0, 0);
    m_nHotRow = -1;
    for (int i = 0; i < ADDRESS_BOOK_ENTRIES; ++i)
    {
        const AddressEntry& entry = book.entries[i];
        wchar_t szNo[8];
        std::swprintf(szNo, 8, L"%02d", i + 1);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = szNo;
        ::SendMessageW(hList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        std::wstring texts[2];
        if (!SjisToWide(FieldText(entry.szName), texts[0]))
            texts[0] = L"?";
        if (!SjisToWide(FieldText(entry.szAddress), texts[1]))
            texts[1] = L"?";
        for (int nColumn = 1; nColumn <= 2; ++nColumn)
        {
            item.iSubItem = nColumn;
            item.pszText = texts[nColumn - 1].data();
            ::SendMessageW(hList, LVM_SETITEMTEXTW, static_cast<WPARAM>(i),
                           reinterpret_cast<LPARAM>(&item));
        }
    }
    ::SendMessageW(hList, LVM_SETSELECTIONMARK, 0, -1);
}

void CWinAddressDlg::SetButtonCaptions(const std::string& strOK, const std::string& strCancel)
{
    SetWindowTextSjis(::GetDlgItem(m_hDlg, IDOK), strOK);
    SetWindowTextSjis(::GetDlgItem(m_hDlg, IDCANCEL), strCancel);
}

void CWinAddressDlg::SetWindowTitle(const std::string& strTitle)
{
    SetWindowTextSjis(m_hDlg, strTitle);
}

void CWinAddressDlg::EndDialog(int nResult)
{
    ::EndDialog(m_hDlg, nResult == DLG_OK ? IDOK : IDCANCEL);
}
