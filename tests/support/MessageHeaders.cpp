// MessageHeaders.cpp - the added header lines of a message in exact-byte tests.
#include "support/MessageHeaders.h"

#include <regex>

std::string MaskMessageId(const std::string& strTranscript)
{
    static const std::regex kMessageId("Message-ID: <[0-9a-f]+\\.[0-9a-f]{16}@");
    return std::regex_replace(strTranscript, kMessageId, "Message-ID: <ID@");
}
