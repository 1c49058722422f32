// WireCharacters.h - the CP932 characters that the ISO-2022-JP wire form cannot carry as they
// are: half-width katakana (the encoder sends them as "."), NEC special characters (row 13:
// ①, Ⅰ, ㈱, ㍉ ...), NEC-selected and IBM extension kanji (lead bytes 0xED, 0xEE, 0xFA-0xFC)
// and user-defined characters (0xF0-0xF9); and their replacements by characters it can carry.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct UnsafeChar
{
    std::string strChar; // its CP932 bytes
    std::size_t nLine;   // 1-based line of the text it stands in
};

// Every such character of the CP932 text, in order.
std::vector<UnsafeChar> FindUnsafeChars(std::string_view text);

// The text with each such character replaced: half-width katakana by full-width (a voiced or
// semi-voiced mark joined to its kana), row 13 and the extension characters by the table
// (① -> (1), ㈱ -> (株), Ⅲ -> III, 髙 -> 高), and what has no equivalent by "〓".
std::string ReplaceUnsafeChars(std::string_view text);

// The CP932 text as UTF-8, where every character survives; should the codec refuse one (a byte
// that is no character), the replacements above stand in, and a byte that still cannot be
// converted becomes U+FFFD. Never fails: it is what a UTF-8 mail carries.
std::string ToWireUtf8(std::string_view sjis);

// The number of entries of the replacement table (double-byte, half-width, voiced pairs).
std::size_t ReplacementTableSize();
