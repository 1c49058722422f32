// MailAddress.h - whether a text can stand as an envelope address between "<" and ">".
#pragma once
#include <string_view>

// True for local@domain with exactly one "@", both parts not empty, and no blank, control
// character, "<", ">", "," or ";" anywhere: such text cannot close the angle brackets early, add
// parameters to the command, or leave the server to complete a bare name on its own domain.
bool IsMailAddress(std::string_view address);
