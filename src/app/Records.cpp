// Records.cpp - the sender file's scramble key.
#include "app/Records.h"

namespace
{
// The key's source text. It must never change once released: a sender file written under another
// constant still loads, but its texts come out as garbage.
constexpr const char* SCRAMBLE_DIGITS = "7C3A91E05BD24F68A1C7390E6D5B82F4";

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

ScrambleKey MakeScrambleKey()
{
    ScrambleKey key;
    for (int i = 0; i < 16; ++i)
    {
        const int nHigh = DigitValue(SCRAMBLE_DIGITS[2 * i]);
        if (nHigh < 0)
            break;
        const int nLow = DigitValue(SCRAMBLE_DIGITS[2 * i + 1]);
        if (nLow < 0)
            break;
        const int nShiftedHigh = ((nHigh - i) % 16 + 16) % 16;
        const int nShiftedLow = ((nLow - i) % 16 + 16) % 16;
        key.bytes[i] = static_cast<unsigned char>(nShiftedHigh * 16 + nShiftedLow);
    }
    return key;
}

void ScrambleBuffer(void* pBuffer, std::size_t n)
{
    const ScrambleKey key = MakeScrambleKey();
    unsigned char* p = static_cast<unsigned char*>(pBuffer);
    for (std::size_t j = 0; j < n; ++j)
        p[j] ^= key.bytes[j % 16];
}
