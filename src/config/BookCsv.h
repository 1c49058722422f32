// BookCsv.h - an address book as CSV text, "No,氏名,メールアドレス", for spreadsheets and other
// mail clients: written as UTF-8 or CP932, read from either (told apart by the bytes).
#pragma once
#include "addr/AddressBook.h"

#include <string>
#include <string_view>
#include <vector>

enum class CsvEncoding
{
    Utf8,
    Cp932,
};

// The header and one line per entry that is not empty, with its number; CR LF line ends (RFC 4180);
// a cell a spreadsheet would take as a formula (beginning with =, +, -, @, TAB or CR) or one
// beginning with ' is written behind ' (CsvIntoBook takes that mark away again);
// a cell holding a comma, a quote, a line break or blanks at its ends is quoted. False, with the
// entry's number in strError (CP932), when an entry cannot be written in UTF-8.
bool BookToCsv(const AddressBook& book, CsvEncoding encoding, std::string& strCsv,
               std::string& strError);

// A problem found in the CSV: its line (1 for the first) and the message (CP932).
struct CsvProblem
{
    int nLine = 0;
    std::string strMessage;
};

// Reads CSV text into book as the address book dialog registers entries: a row "No,氏名,
// メールアドレス" sets entry No (an empty name and address empty it), a row without a number
// ("",name,address or name,address) takes the next empty entry. UTF-8 with or without a BOM or
// CP932; empty lines are skipped. A header row is never taken as an entry: one that names its
// columns (氏名/名前/Name, メールアドレス/メール/アドレス/Email/E-mail/Mail, No/番号; ASCII
// without case) sets the order of the rows after it. Each value is checked as the dialog checks
// it: byte limits in CP932, characters CP932 cannot write, numbers 1 to 50, at most 50 entries,
// addresses the send accepts, and in a group book no group reference. Returns every problem; book
// is changed only when there is none. A row without a number whose address the book already holds
// (letters compared without case) is left out, with a warning in warnings.
std::vector<CsvProblem> CsvIntoBook(std::string_view csv, bool bGroupBook, AddressBook& book,
                                    std::vector<CsvProblem>& warnings);
