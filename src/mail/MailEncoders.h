// MailEncoders.h - the wire encoders: base64 (RFC 2045 alphabet, one line), Shift_JIS to
// ISO-2022-JP by byte arithmetic, and RFC 2047 encoded-words for header lines.
// Pure functions over caller-supplied buffers: no state, no allocation, no error reports.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Base64 of a NUL-terminated text, no line breaks. pszOut needs 4 bytes per started group of 3
// input bytes plus the NUL. Returns the number of input bytes encoded.
int EncodeBase64(const char* pszText, char* pszOut);

// Base64 of nCount bytes that may hold NUL. A count of 0 or less gives an empty output and 0.
int EncodeBase64Bytes(int nCount, const unsigned char* pBytes, char* pszOut);

// Converts Shift_JIS text to ISO-2022-JP (ESC $ B / ESC ( B) into pszOut, writing at most
// nCapacity - 1 bytes including the closing escape and the NUL. Conversion stops when the budget
// runs out; the caller continues from the returned position with a new call (each call starts and
// ends in ASCII mode). Bytes that cannot go out in 7 bits (half-width katakana, controls other than
// TAB, CR and LF, 0x7F, 0x80, 0xA0, 0xFD-0xFF) become ".". A lead byte whose next byte is not a
// trail byte (0x40-0x7E, 0x80-0xFC) becomes "." too, and that next byte is taken on its own. A
// lead byte directly before the NUL is neither written nor counted. Returns the number of input
// bytes consumed.
int SjisToJis(const char* pszText, char* pszOut, int nCapacity);

// Length of the run that starts at pszText: positive for low bytes (0x01-0x7F), minus the length
// for high-byte pairs (any byte >= 0x80 at an even offset opens a pair, whatever follows), 0 for an
// empty text.
int NextRunLength(const char* pszText);

// Encodes a Shift_JIS header line: low runs pass unchanged, each run of high-byte pairs becomes one
// "=?ISO-2022-JP?B?...?=" encoded-word. Nothing is folded and no blank is added.
// pszOut holds nOutSize bytes. Returns false, leaving pszOut empty, when the encoded line (with its
// NUL) would not fit or a high run is longer than the 1023-byte work buffer: a header line is
// never cut.
bool EncodeHeaderLine(const char* pszLine, char* pszOut, std::size_t nOutSize);

// The line length of base64 and quoted-printable content (RFC 2045 sections 6.7 and 6.8).
constexpr std::size_t kMaxEncodedLine = 76;

// Base64 of the bytes in lines of 76 characters (57 bytes), each ended by CR LF.
std::string EncodeBase64Lines(std::string_view bytes);

// Quoted-printable of text (RFC 2045 section 6.7): each line end of the text (CR LF, LF or a lone
// CR) becomes CR LF, longer lines get soft line breaks ("=" CR LF) so that none passes 76
// characters, and "=", control bytes, bytes from 0x80 and a blank before a line end are written
// as "=XX".
std::string EncodeQuotedPrintable(std::string_view text);
