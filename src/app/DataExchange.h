// DataExchange.h - the checks a dialog runs when it reads its fields back (texts with a byte limit,
// integers with a range) and the messages it shows when one fails.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// "%1 文字以内で入力してください。" with the limit in place of %1: a text over its byte limit.
std::string TextTooLongMessage(std::size_t nLimit);

// "整数を入力してください。": a number field that does not hold an integer.
std::string NotIntegerMessage();

// "%1 から %2 までの整数を入力してください。": an integer outside its range.
std::string IntOutOfRangeMessage(int nLow, int nHigh);

// "Shift_JIS で表せない文字は使えません。": a text holding a character CP932 cannot write.
std::string UnconvertibleTextMessage();

// The check a text field runs when it is read back: empty when the text may be taken, else the
// message to show. bConvertible false: the text holds a character CP932 cannot write; nBytes is
// its length in CP932 bytes; nLimit 0: no limit. The dialogs and tarvell-config share it.
std::string TextFieldMessage(bool bConvertible, std::size_t nBytes, std::size_t nLimit);

// The check of a number field with its range: empty with nValue set, else the message.
std::string IntFieldMessage(std::string_view text, int nLow, int nHigh, int& nValue);

// Reads a number field as the dialog manager does: blanks around an optional sign and decimal
// digits. False for anything else, including a value that does not fit an int.
bool ParseIntField(std::string_view text, int& nValue);
