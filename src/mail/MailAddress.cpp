// MailAddress.cpp - the envelope address check.
#include "mail/MailAddress.h"

bool IsMailAddress(std::string_view address)
{
    const std::size_t nAt = address.find('@');
    if (nAt == 0 || nAt == std::string_view::npos || nAt + 1 == address.size() ||
        address.find('@', nAt + 1) != std::string_view::npos)
        return false;
    for (const char c : address)
    {
        const auto uc = static_cast<unsigned char>(c);
        if (uc <= 0x20 || uc == 0x7F || c == '<' || c == '>' || c == ',' || c == ';')
            return false;
    }
    return true;
}
