// MailAddress.h - whether a text can stand as an envelope address between "<" and ">". The send
// checks its recipients with it, and the address books check what they take in with the same rule.
#pragma once
#include <string_view>

// Empty for local@domain with exactly one "@", both parts not empty, and no blank, control
// character, "<", ">", "," or ";" anywhere: such text cannot close the angle brackets early, add
// parameters to the command, or leave the server to complete a bare name on its own domain.
// Otherwise the first rule the text breaks, as a CP932 message for the user.
std::string_view MailAddressProblem(std::string_view address);

inline bool IsMailAddress(std::string_view address)
{
    return MailAddressProblem(address).empty();
}
