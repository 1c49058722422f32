// DeliveryFile.h - Delivery.ini, the delivery profile beside the records: Shift_JIS text, one
// "Key=Value" per line (CR LF or LF), blanks around keys and values ignored, blank lines and lines
// beginning with "#" or ";" skipped. It is read strictly, since a key that is not read means clear
// text: anything else refuses every send. It holds no secret.
#pragma once
#include "app/AppFiles.h" // kDeliveryFileName
#include "mail/DeliveryProfile.h"

#include <string>

// The longest Delivery.ini that is read; a longer one is refused.
constexpr std::size_t MAX_DELIVERY_FILE_SIZE = 4096;

// The profile of the text; a missing key keeps its default. Refused, with the first offending line
// in strRefused ("Key=value" as written) and every other field at its default: a key that is not
// one of the listed ones exactly (misspelt, miscased, "Key: value"), a key given twice, an empty
// value (but CaFile=), a value that is not a listed one, a UTF-8 byte order mark or NUL bytes
// (UTF-16, binary), SMTP TLS with POP before SMTP unless PopSecurity is written out, and
// OAuth settings that cannot be used (OAuthSettingsProblem).
DeliveryProfile ParseDeliveryProfile(const std::string& strText);

// The text WriteDeliveryProfile writes: every key, CR LF line ends; the OAuth keys only with
// Authentication=oauth2 unless bAllKeys.
std::string FormatDeliveryProfile(const DeliveryProfile& profile, bool bAllKeys = false);

// The profile in the file, or the defaults when nothing stands at the path. A dangling link, a
// folder, a FIFO or a file over MAX_DELIVERY_FILE_SIZE is refused as above; a relative CaFile is
// taken beside the file. A file that cannot be read raises CFileException.
DeliveryProfile ReadDeliveryProfile(const std::string& strPath);

// Replaces the file (through a temporary file and rename). Raises CFileException.
void WriteDeliveryProfile(const std::string& strPath, const DeliveryProfile& profile);
