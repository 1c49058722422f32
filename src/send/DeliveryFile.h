// DeliveryFile.h - Delivery.ini, the delivery profile beside the records: Shift_JIS text, one
// "Key=Value" per line (CR LF or LF), blanks around a value ignored, unknown keys ignored, read
// with the key reader of the send-information files. It holds no secret.
#pragma once
#include "mail/DeliveryProfile.h"

#include <string>

// The file's name in the program folder.
extern const char* const kDeliveryFileName; // "Delivery.ini"

// The longest Delivery.ini that is read; a longer one raises the file error.
constexpr std::size_t MAX_DELIVERY_FILE_SIZE = 4096;

// The profile of the text; a missing key or an empty value keeps its default. The first value
// that is not a listed one is named in strRefused as "Key=value".
DeliveryProfile ParseDeliveryProfile(const std::string& strText);

// The text WriteDeliveryProfile writes: every key, CR LF line ends.
std::string FormatDeliveryProfile(const DeliveryProfile& profile);

// The profile in the file, or the defaults when it does not exist. A file that cannot be read, or
// is over MAX_DELIVERY_FILE_SIZE bytes, raises CFileException.
DeliveryProfile ReadDeliveryProfile(const std::string& strPath);

// Replaces the file (through a temporary file and rename). Raises CFileException.
void WriteDeliveryProfile(const std::string& strPath, const DeliveryProfile& profile);
