// AttachmentHeaders.h - the Content-Type and Content-Disposition lines of an attachment: the media
// type from the name's extension, and the name as every reader decodes it. An ASCII name stays
// plain in quotes; any other goes as whole encoded-words in "name=" (for older readers) and as
// RFC 2231 "filename*=" (continued as "filename*0*=", "filename*1*=" ... when long), in the
// message's charset.
#pragma once
#include "mail/DeliveryProfile.h"

#include <array>
#include <string>
#include <string_view>

// The attachment's name as the message names it: the path's last part (base name and extension).
std::string AttachmentFileName(const char* pszPath);

// "application/pdf" for "報告.PDF"; application/octet-stream for an extension not in the table.
const char* MediaTypeOf(std::string_view name);

// The two header lines of the attachment part of the file at pszPath, each ended by CR LF. False
// only when one would pass the 998 bytes a line may hold.
bool FormatAttachmentHeaderLines(const char* pszPath, std::array<std::string, 2>& lines,
                                 MailCharset charset = MailCharset::iso2022jp);
