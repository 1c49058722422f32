// HeaderPhrase.h - header lines that every reader decodes as they were typed: RFC 2047
// encoded-words of at most 75 characters that hold whole characters (each ISO-2022-JP word starts
// and ends in ASCII), the blanks between encoded words kept inside a word (readers drop white
// space between two encoded-words), ASCII words left as they are and always apart from an
// encoded-word by white space, display names that can never become a second address or a comment,
// and lines folded with CR LF and a blank at 78 characters (RFC 5322 section 2.1.1).
// Values are CP932; the characters ISO-2022-JP cannot carry are replaced first (WireCharacters.h),
// under UTF-8 every character goes out.
#pragma once
#include "mail/DeliveryProfile.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The longest encoded-word (RFC 2047 section 2) and the column header lines fold at.
constexpr std::size_t kMaxEncodedWord = 75;
constexpr std::size_t kFoldColumn = 78;

// The text in the wire's character set: CP932 with the replacements for ISO-2022-JP, UTF-8 for
// UTF-8.
std::string HeaderWireText(std::string_view sjis, MailCharset charset);

// The bytes of the character that starts at wireText[nAt].
std::size_t WireCharLength(std::string_view wireText, std::size_t nAt, MailCharset charset);

// The encoded-word of the longest run of whole characters at the start of wireText (as
// HeaderWireText gives it) that fits in nRoom characters, at least one character however long;
// nConsumed is the bytes of wireText it holds.
std::string NextEncodedWord(std::string_view wireText, MailCharset charset, std::size_t nRoom,
                            std::size_t& nConsumed);

// The whole of wireText as encoded-words: the first fits nFirstRoom characters, the others
// nRoom.
std::vector<std::string> EncodedWords(std::string_view wireText, MailCharset charset,
                                      std::size_t nFirstRoom, std::size_t nRoom = kMaxEncodedWord);

// "Subject: VALUE" CR LF, folded: ASCII words stay as they are; each run of words that holds
// other characters (or looks like an encoded-word) becomes encoded-words, blanks inside.
std::string UnstructuredHeaderLine(std::string_view name, std::string_view sjisValue,
                                   MailCharset charset);

// "From: NAME <ADDRESS>" CR LF, folded: an ASCII name of atoms stays, one with specials goes in a
// quoted-string, any other becomes encoded-words as a whole, each as long as RFC 2047 allows (some
// readers keep the white space between the words of a display name). An empty name leaves
// "From:  <...>".
std::string AddressHeaderLine(std::string_view name, std::string_view sjisDisplayName,
                              std::string_view address, MailCharset charset);
