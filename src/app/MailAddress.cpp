// MailAddress.cpp - the envelope address check.
#include "app/MailAddress.h"

std::string_view MailAddressProblem(std::string_view address)
{
    if (address.empty())
        return "メールアドレスが空です。"; // troubleshooting
    const std::size_t nAt = address.find('@');
    if (nAt == std::string_view::npos)
        return "メールアドレスに @ がありません。"; // troubleshooting
    if (nAt == 0 || nAt + 1 == address.size())
        return "メールアドレスの @ の前か後ろが空です。"; // troubleshooting
    if (address.find('@', nAt + 1) != std::string_view::npos)
        return "メールアドレスに @ が二つ以上あります。"; // troubleshooting
    for (const char c : address)
    {
        const auto uc = static_cast<unsigned char>(c);
        if (uc <= 0x20 || uc == 0x7F)
            return "メールアドレスに空白や制御文字は使えません。"; // troubleshooting
        if (c == '<' || c == '>' || c == ',' || c == ';')
            return "メールアドレスに < > , ; は使えません。"; // troubleshooting
    }
    return {};
}
