// TextCodec.h - the one place where CP932 text meets UTF-8 (file names, the command line,
// standard output and error, and the Qt widgets through src/ui).
#pragma once
#include <string>
#include <string_view>

// Converts with glibc iconv's "CP932" (not "SHIFT_JIS", which turns the backslash into a yen sign).
// Both return false, leaving out empty, when a character cannot be converted: text is never
// silently mangled.
bool SjisToUtf8(std::string_view sjis, std::string& out);
bool Utf8ToSjis(std::string_view utf8, std::string& out);

// True when text is well-formed UTF-8 (every byte part of a valid character).
bool IsUtf8(std::string_view text);

// For display only: every byte that cannot be decoded shows as U+FFFD.
std::string SjisToUtf8Lossy(std::string_view sjis);
