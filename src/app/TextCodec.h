// TextCodec.h - the one place where CP932 text meets UTF-8 (file names, the command line,
// standard output and error, and the Qt widgets through src/ui).
#pragma once
#include <string>
#include <string_view>
#include <vector>

// CP932 as Windows' code page 932 has it, on every platform: the bytes 0x80, 0xA0 and 0xFD-0xFF
// are no character, and a character that only maps one way (U+301C WAVE DASH, U+00A5 YEN SIGN,
// U+2212 MINUS SIGN ...) cannot be written. Both return false, leaving out empty, when a
// character cannot be converted: text is never silently mangled.
bool SjisToUtf8(std::string_view sjis, std::string& out);
bool Utf8ToSjis(std::string_view utf8, std::string& out);

// For display only: every byte that cannot be decoded shows as U+FFFD.
std::string SjisToUtf8Lossy(std::string_view sjis);

// Whether the bytes are well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view text);

// UTF-8 to CP932 where every character CP932 cannot write becomes "〓"; each such character is
// appended to pUnconvertible (as UTF-8) when it is given. A leading byte order mark is dropped.
// The text must be valid UTF-8.
std::string Utf8ToSjisReplacing(std::string_view utf8, std::vector<std::string>* pUnconvertible);
