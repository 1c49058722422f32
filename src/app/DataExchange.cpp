// DataExchange.cpp - the checks and messages of a dialog's data exchange.
#include "app/DataExchange.h"

#include <climits>

std::string TextTooLongMessage(std::size_t nLimit)
{
    return std::to_string(nLimit) + " 文字以内で入力してください。";
}

std::string NotIntegerMessage()
{
    return "整数を入力してください。";
}

std::string IntOutOfRangeMessage(int nLow, int nHigh)
{
    return std::to_string(nLow) + " から " + std::to_string(nHigh) +
           " までの整数を入力してください。";
}

std::string UnconvertibleTextMessage()
{
    return "Shift_JIS で表せない文字は使えません。";
}

std::string TextFieldMessage(bool bConvertible, std::size_t nBytes, std::size_t nLimit)
{
    if (!bConvertible)
        return UnconvertibleTextMessage();
    if (nLimit > 0 && nBytes > nLimit)
        return TextTooLongMessage(nLimit);
    return std::string();
}

std::string IntFieldMessage(std::string_view text, int nLow, int nHigh, int& nValue)
{
    int nParsed = 0;
    if (!ParseIntField(text, nParsed))
        return NotIntegerMessage();
    if (nParsed < nLow || nParsed > nHigh)
        return IntOutOfRangeMessage(nLow, nHigh);
    nValue = nParsed;
    return std::string();
}

bool ParseIntField(std::string_view text, int& nValue)
{
    std::size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    };
    skipBlanks();
    bool bNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    {
        bNegative = text[i] == '-';
        ++i;
    }
    long long nValue64 = 0;
    std::size_t nDigits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++nDigits)
    {
        nValue64 = nValue64 * 10 + (text[i] - '0');
        if (nValue64 > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    skipBlanks();
    if (nDigits == 0 || i != text.size())
        return false;
    if (bNegative)
        nValue64 = -nValue64;
    if (nValue64 < INT_MIN || nValue64 > INT_MAX)
        return false;
    nValue = static_cast<int>(nValue64);
    return true;
}
