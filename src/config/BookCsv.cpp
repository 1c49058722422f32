// BookCsv.cpp - address books as CSV text.
#include "config/BookCsv.h"

#include "app/DataExchange.h"
#include "app/Sjis.h"
#include "app/TextCodec.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

namespace
{
constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";
constexpr std::size_t NAME_LIMIT = sizeof(AddressEntry::szName) - 1;
constexpr std::size_t ADDRESS_LIMIT = sizeof(AddressEntry::szAddress) - 1;

std::string NumberText(int nNo)
{
    char sz[16];
    std::snprintf(sz, sizeof(sz), "No. %02d", nNo);
    return sz;
}

// A cell a spreadsheet would run as a formula (OWASP's list: "=", "+", "-", "@", TAB, CR) goes out
// behind "'", which spreadsheets take as "text follows" and do not show. A cell that itself begins
// with "'" gets one too, so that reading the CSV back can always take exactly one away.
bool NeedsTextMark(std::string_view cell)
{
    return !cell.empty() &&
           std::string_view("=+-@\t\r'").find(cell.front()) != std::string_view::npos;
}

std::string NeutralisedCell(std::string_view cell)
{
    std::string strCell;
    if (NeedsTextMark(cell))
        strCell.push_back('\'');
    strCell.append(cell);
    return strCell;
}

// The cell as it was before NeutralisedCell: one "'" taken away where it marks such a cell.
std::string WithoutTextMark(const std::string& strCell)
{
    if (strCell.size() > 1 && strCell.front() == '\'' && NeedsTextMark(strCell.substr(1)))
        return strCell.substr(1);
    return strCell;
}

std::string QuotedCell(std::string_view cell)
{
    const bool bQuote = cell.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!cell.empty() && (cell.front() == ' ' || cell.back() == ' '));
    if (!bQuote)
        return std::string(cell);
    std::string strQuoted = "\"";
    for (const char c : cell)
    {
        if (c == '"')
            strQuoted += '"';
        strQuoted += c;
    }
    return strQuoted + '"';
}

// One record of the CSV: the line it starts on and its cells, as they stand in the file.
struct CsvRecord
{
    int nLine = 0;
    std::vector<std::string> cells;
};

// Splits CSV text into records (RFC 4180: quoted cells may hold commas, doubled quotes and line
// breaks; lines end in CR LF or LF). A quote left open, or text after a closing quote, is a
// problem of its line. The bytes of a CP932 second byte never fall on ',', '"', CR or LF.
std::vector<CsvRecord> SplitCsv(std::string_view csv, std::vector<CsvProblem>& problems)
{
    std::vector<CsvRecord> records;
    CsvRecord record{1, {std::string()}};
    int nLine = 1;
    bool bQuoted = false;
    bool bAfterQuote = false;
    for (std::size_t i = 0; i < csv.size(); ++i)
    {
        const char c = csv[i];
        if (bQuoted)
        {
            if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"')
            {
                record.cells.back() += '"';
                ++i;
            }
            else if (c == '"')
            {
                bQuoted = false;
                bAfterQuote = true;
            }
            else
            {
                if (c == '\n')
                    ++nLine;
                record.cells.back() += c;
            }
            continue;
        }
        if (c == ',')
        {
            record.cells.emplace_back();
            bAfterQuote = false;
        }
        else if (c == '\n' || c == '\r')
        {
            if (c == '\r' && i + 1 < csv.size() && csv[i + 1] == '\n')
                ++i;
            records.push_back(std::move(record));
            record = CsvRecord{++nLine, {std::string()}};
            bAfterQuote = false;
        }
        else if (c == '"' && record.cells.back().empty() && !bAfterQuote)
        {
            bQuoted = true;
        }
        else if (bAfterQuote)
        {
            problems.push_back({nLine, "閉じた引用符 \" の後に文字があります。"});
            bAfterQuote = false; // one report per cell
        }
        else
        {
            record.cells.back() += c;
        }
    }
    if (bQuoted)
        problems.push_back({record.nLine, "引用符 \" が閉じていません。"});
    records.push_back(std::move(record));
    return records;
}

bool HasControlBytes(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto uc = static_cast<unsigned char>(c);
        return uc < 0x20 || uc == 0x7F;
    });
}

bool IsBlankRecord(const CsvRecord& record)
{
    for (const std::string& cell : record.cells)
    {
        if (!cell.empty())
            return false;
    }
    return true;
}

// A row of the book, its texts in CP932.
struct BookRow
{
    int nLine = 0;
    std::optional<int> no;
    std::string strName;
    std::string strAddress;
};

// Where each value stands in a record; -1: no such column.
struct CsvColumns
{
    int nNo = -1;
    int nName = -1;
    int nAddress = -1;
    std::size_t nCount = 0; // 0: no header, rows are No,氏名,メールアドレス or 氏名,メールアドレス
};

// Compares ASCII letters without case; double-byte CP932 characters (whose second byte may be a
// letter) only as they are.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        const auto ua = static_cast<unsigned char>(a[i]);
        if (IsLeadByte(ua) && i + 1 < a.size())
        {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        const auto lower = [](unsigned char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
        };
        if (lower(ua) != lower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool IsOneOf(std::string_view cell, std::initializer_list<std::string_view> names)
{
    return std::any_of(names.begin(), names.end(),
                       [&](std::string_view name) { return EqualsIgnoringAsciiCase(cell, name); });
}

// The column order of a header row (the usual names spreadsheets and mail clients write), or
// nothing when the record is not one: every cell must name a column, each at most once, and both
// the name and the address must be there.
std::optional<CsvColumns> HeaderColumns(const std::vector<std::string>& cells)
{
    CsvColumns columns;
    columns.nCount = cells.size();
    for (std::size_t i = 0; i < cells.size(); ++i)
    {
        const std::string_view cell = TrimAsciiSpace(cells[i]);
        int* pColumn = nullptr;
        if (IsOneOf(cell, {"氏名", "名前", "Name"}))
            pColumn = &columns.nName;
        else if (IsOneOf(cell, {"メールアドレス", "メール", "アドレス", "Email", "E-mail", "Mail"}))
            pColumn = &columns.nAddress;
        else if (IsOneOf(cell, {"No", "番号"}))
            pColumn = &columns.nNo;
        if (pColumn == nullptr || *pColumn >= 0)
            return std::nullopt;
        *pColumn = static_cast<int>(i);
    }
    if (columns.nName < 0 || columns.nAddress < 0)
        return std::nullopt;
    return columns;
}

// The entry of book that already holds strAddress (letters compared without case), 0 if none.
int EntryWithAddress(const AddressBook& book, const std::string& strAddress)
{
    for (int n = 1; n <= ADDRESS_BOOK_ENTRIES; ++n)
    {
        if (EqualsIgnoringAsciiCase(FieldText(book.entries[n - 1].szAddress), strAddress))
            return n;
    }
    return 0;
}
} // namespace

bool BookToCsv(const AddressBook& book, CsvEncoding encoding, std::string& strCsv,
               std::string& strError)
{
    std::string strSjis = "No,氏名,メールアドレス\r\n";
    for (int n = 1; n <= ADDRESS_BOOK_ENTRIES; ++n)
    {
        const AddressEntry& entry = book.entries[n - 1];
        if (entry.szName[0] == '\0' && entry.szAddress[0] == '\0')
            continue;
        strSjis += std::to_string(n) + ',' + QuotedCell(NeutralisedCell(FieldText(entry.szName))) +
                   ',' + QuotedCell(NeutralisedCell(FieldText(entry.szAddress))) + "\r\n";
    }
    if (encoding == CsvEncoding::Cp932)
    {
        strCsv = strSjis;
        return true;
    }
    if (SjisToUtf8(strSjis, strCsv))
        return true;
    for (int n = 1; n <= ADDRESS_BOOK_ENTRIES; ++n)
    {
        const AddressEntry& entry = book.entries[n - 1];
        std::string strIgnored;
        if (!SjisToUtf8(FieldText(entry.szName), strIgnored) ||
            !SjisToUtf8(FieldText(entry.szAddress), strIgnored))
        {
            strError = NumberText(n) + " は Shift_JIS として読めない文字を含むため UTF-8 "
                                       "にできません（--encoding cp932 なら書き出せます）。";
            return false;
        }
    }
    strError = "UTF-8 にできません。";
    return false;
}

std::vector<CsvProblem> CsvIntoBook(std::string_view csv, bool bGroupBook, AddressBook& book,
                                    std::vector<CsvProblem>& warnings)
{
    std::vector<CsvProblem> problems;
    bool bUtf8 = true;
    if (csv.substr(0, UTF8_BOM.size()) == UTF8_BOM)
        csv.remove_prefix(UTF8_BOM.size());
    else
        bUtf8 = IsValidUtf8(csv);

    std::vector<BookRow> rows;
    bool bFirst = true;
    CsvColumns columns;
    for (const CsvRecord& record : SplitCsv(csv, problems))
    {
        if (IsBlankRecord(record))
            continue;
        const auto problem = [&](const std::string& strMessage) {
            problems.push_back({record.nLine, strMessage});
        };
        std::vector<std::string> cells;
        bool bConvertible = true;
        for (const std::string& cell : record.cells)
        {
            std::string strSjis = cell;
            if (bUtf8)
                bConvertible = Utf8ToSjis(cell, strSjis) && bConvertible;
            else
            {
                std::string strIgnored;
                bConvertible = SjisToUtf8(cell, strIgnored) && bConvertible;
            }
            cells.push_back(strSjis);
        }
        // A header row names the order of the rows after it; one of the older form
        // (No,... or ...,氏名,...) in the first row keeps the usual order.
        if (const std::optional<CsvColumns> header = HeaderColumns(cells))
        {
            columns = *header;
            bFirst = false;
            continue;
        }
        const bool bHeader =
            bFirst && (cells[0] == "No" || (cells.size() > 1 && cells[1] == "氏名"));
        bFirst = false;
        if (bHeader)
            continue;
        if (!bConvertible)
        {
            problem(UnconvertibleTextMessage());
            continue;
        }
        CsvColumns order = columns;
        if (order.nCount == 0)
        {
            if (cells.size() != 2 && cells.size() != 3)
            {
                problem("列は No,氏名,メールアドレス の 3 つ（または 氏名,メールアドレス）です。");
                continue;
            }
            const int nCount = static_cast<int>(cells.size());
            order = CsvColumns{nCount == 3 ? 0 : -1, nCount - 2, nCount - 1, cells.size()};
        }
        else if (cells.size() != order.nCount)
        {
            problem("列の数が見出し行（" + std::to_string(order.nCount) + // troubleshooting
                    " 列）と違います。");                                 // troubleshooting
            continue;
        }
        BookRow row;
        row.nLine = record.nLine;
        if (order.nNo >= 0 && !TrimAsciiSpace(cells[order.nNo]).empty())
        {
            int nNo = 0;
            const std::string strMessage =
                IntFieldMessage(cells[order.nNo], 1, ADDRESS_BOOK_ENTRIES, nNo);
            if (!strMessage.empty())
            {
                problem("No: " + strMessage);
                continue;
            }
            row.no = nNo;
        }
        row.strName = WithoutTextMark(cells[order.nName]);
        row.strAddress = WithoutTextMark(cells[order.nAddress]);
        if (HasControlBytes(row.strName) || HasControlBytes(row.strAddress))
        {
            problem("制御文字（改行、タブ、エスケープなど）は使えません。");
            continue;
        }
        std::string strMessage = TextFieldMessage(true, row.strName.size(), NAME_LIMIT);
        if (!strMessage.empty())
            problem("氏名: " + strMessage);
        strMessage = TextFieldMessage(true, row.strAddress.size(), ADDRESS_LIMIT);
        if (!strMessage.empty())
            problem("メールアドレス: " + strMessage);
        else if (bGroupBook && IsGroupReference(row.strAddress))
            problem(GroupInGroupMessage());
        else if (const std::string_view addressProblem =
                     EntryAddressProblem(row.strName, row.strAddress);
                 !addressProblem.empty())
            problem(std::string(addressProblem)); // the rule the send checks recipients with
        rows.push_back(row);
    }

    // Numbered rows first, so that a row without a number never takes an entry a later row names.
    auto result = std::make_unique<AddressBook>(book);
    bool bNamed[ADDRESS_BOOK_ENTRIES] = {};
    for (const BookRow& row : rows)
    {
        if (!row.no)
            continue;
        if (bNamed[*row.no - 1])
        {
            problems.push_back({row.nLine, NumberText(*row.no) + " が二度あります。"});
            continue;
        }
        bNamed[*row.no - 1] = true;
        AddressEntry& entry = result->entries[*row.no - 1];
        SetField(entry.szName, row.strName);
        SetField(entry.szAddress, row.strAddress);
    }
    int nNext = 0;
    for (const BookRow& row : rows)
    {
        if (row.no)
            continue;
        const auto isFree = [&](int i) {
            const AddressEntry& entry = result->entries[i];
            return !bNamed[i] && entry.szName[0] == '\0' && entry.szAddress[0] == '\0';
        };
        // An address the book holds already is not taken in twice (a CSV imported again).
        if (const int nHeld =
                row.strAddress.empty() ? 0 : EntryWithAddress(*result, row.strAddress))
        {
            warnings.push_back(
                {row.nLine, "このアドレスは " + NumberText(nHeld) +    // troubleshooting
                                " に登録済みのため取り込みません。"}); // troubleshooting
            continue;
        }
        while (nNext < ADDRESS_BOOK_ENTRIES && !isFree(nNext))
            ++nNext;
        if (nNext == ADDRESS_BOOK_ENTRIES)
        {
            problems.push_back({row.nLine, "アドレス帳に空きがありません（50 件まで）。"});
            break;
        }
        bNamed[nNext] = true;
        SetField(result->entries[nNext].szName, row.strName);
        SetField(result->entries[nNext].szAddress, row.strAddress);
    }
    if (problems.empty())
        book = *result;
    std::stable_sort(problems.begin(), problems.end(),
                     [](const CsvProblem& a, const CsvProblem& b) { return a.nLine < b.nLine; });
    return problems;
}
