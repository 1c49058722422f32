// MessageHeaders.h - the header lines every message carries after From, To and Subject, as the
// scripted clock gives them, and the masking of the Message-ID's random part so exact-byte
// transcripts stay comparable.
#pragma once
#include <cstddef>
#include <string>

// "Date: Mon, 05 Jul 2004 09:05:03 +0900" and "Message-ID: <ID@example.jp>" as MaskMessageId
// leaves them (the scripted clock's time in Japan's time zone, the sender taro@example.jp).
inline const std::string kAddedHeaderLines =
    "Date: Mon, 05 Jul 2004 09:05:03 +0900\r\nMessage-ID: <ID@example.jp>\r\n";

// How many bytes longer the real Message-ID is than the masked one: 8 hexadecimal digits of the
// time, ".", 16 hexadecimal digits, in place of "ID".
constexpr std::size_t kMaskedMessageIdBytes = 8 + 1 + 16 - 2;

// The transcript with the left part of every Message-ID replaced by "ID", once it is checked to be
// hexadecimal time "." 16 hexadecimal digits; a Message-ID of another form is left as it is, so
// the comparison shows it.
std::string MaskMessageId(const std::string& strTranscript);
