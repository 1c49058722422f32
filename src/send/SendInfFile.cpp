// SendInfFile.cpp - send-information files: up to five "Key=value" settings that fill the send
// form at start.
#include "send/SendInfFile.h"

#include "app/FileSystem.h"
#include "app/Sjis.h"

#include <cstring>

namespace
{
// The largest file read; a file of this size plus one or more is ignored.
constexpr std::int64_t MAX_SEND_INF_SIZE = 1023;
} // namespace

std::size_t CSendInfReader::GetKeyValue(std::string_view text, std::string_view key,
                                        std::string& strValue)
{
    strValue.clear();
    const std::size_t nKey = FindSjis(text, key);
    if (nKey == std::string_view::npos)
        return 0;
    const std::size_t nStart = nKey + key.size();
    std::size_t nEnd = text.find_first_of("\r\n", nStart);
    if (nEnd == std::string_view::npos)
        nEnd = text.size();
    strValue.assign(text.substr(nStart, nEnd - nStart));
    return strValue.size();
}

int CSendInfReader::ReadSendInfFile(const std::string& strPath, const SendInfTargets& targets)
{
    const std::int64_t nSize = GetFileSizeOrZero(strPath);
    if (nSize <= 0 || nSize > MAX_SEND_INF_SIZE)
        return 1;
    char buf[MAX_SEND_INF_SIZE + 1] = {};
    CFileReader file(strPath);
    const std::size_t nRead = file.Read(buf, static_cast<std::size_t>(nSize));
    // A NUL inside the file ends the text; the added line end closes its last line.
    std::string text(buf, ::strnlen(buf, nRead));
    text += "\r\n";

    const std::pair<const char*, std::string*> keys[] = {
        {"Name=", &targets.strToName},     {"Address=", &targets.strToAddress},
        {"Title=", &targets.strTitle},     {"TextFile=", &targets.strTextFile},
        {"BinFile=", &targets.strBinFile},
    };
    std::string strValue;
    for (const auto& [pszKey, pstrTarget] : keys)
    {
        if (GetKeyValue(text, pszKey, strValue) > 0)
            *pstrTarget = TrimAsciiSpace(strValue);
    }
    return 0;
}
