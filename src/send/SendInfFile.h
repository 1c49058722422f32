// SendInfFile.h - send-information files: up to five "Key=value" settings that fill the send form
// at start.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The form strings a send-information file sets; a key absent from the file leaves its string.
struct SendInfTargets
{
    std::string& strToName;
    std::string& strToAddress;
    std::string& strTitle;
    std::string& strTextFile;
    std::string& strBinFile;
};

class CSendInfReader
{
  public:
    // Fills the targets from the file. Returns 0 when it was read, 1 when its size is 0 or 1024
    // bytes or more (nothing read). A NUL ends the text; values longer than their request fields
    // are kept whole and refused by the send procedure. A read error raises CFileException.
    static int ReadSendInfFile(const std::string& strPath, const SendInfTargets& targets);

    // The value of strKey in text: after the first occurrence of the key that begins on a
    // character boundary, up to the first CR or LF (a file with LF line ends gives the same
    // values as one with CR LF). Returns its length, 0 when the key is absent or the value empty
    // (strValue then empty). A value that runs to the end of text without a line end is taken
    // whole.
    static std::size_t GetKeyValue(std::string_view text, std::string_view key,
                                   std::string& strValue);
};
