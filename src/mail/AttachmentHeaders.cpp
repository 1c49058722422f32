// AttachmentHeaders.cpp - media type and name lines of the attachment part.
#include "mail/AttachmentHeaders.h"

#include "app/FileSystem.h"
#include "mail/HeaderPhrase.h"
#include "mail/MailEncoders.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
struct MediaType
{
    const char* pszExtension; // lower case, without the dot
    const char* pszType;
};

constexpr MediaType kMediaTypes[] = {
    {"pdf", "application/pdf"},
    {"txt", "text/plain"},
    {"csv", "text/csv"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"png", "image/png"},
    {"gif", "image/gif"},
    {"zip", "application/zip"},
    {"doc", "application/msword"},
    {"xls", "application/vnd.ms-excel"},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
};

constexpr std::size_t kMaxLine = 998;

// The name as the content of a quoted string (RFC 2045, RFC 5322): '"' and '\' get a '\'.
std::string QuotedStringContent(const std::string& strName)
{
    std::string strOut;
    for (const char c : strName)
    {
        if (c == '"' || c == '\\')
            strOut.push_back('\\');
        strOut.push_back(c);
    }
    return strOut;
}

// RFC 2231 / RFC 5987 value characters: attr-char as it is, every other byte as "%XX".
std::string PercentEncoded(const std::string& strBytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    constexpr std::string_view kAttrSymbols = "!#$&+-.^_`|~";
    std::string strOut;
    for (const char ch : strBytes)
    {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            kAttrSymbols.find(ch) != std::string_view::npos)
            strOut.push_back(ch);
        else
            strOut.append({'%', kHex[c >> 4], kHex[c & 0x0F]});
    }
    return strOut;
}

// The name's bytes as the charset carries them.
std::string NameBytes(const std::string& strWireName, MailCharset charset)
{
    if (charset == MailCharset::utf8)
        return strWireName;
    std::vector<char> out(strWireName.size() * 4 + 16);
    SjisToJis(strWireName.c_str(), out.data(), static_cast<int>(out.size()));
    return out.data();
}

// " filename*=CHARSET''VALUE" on one line when it fits the fold column, else continuations each
// on a line of its own. Each continuation holds whole characters, complete in itself (some readers
// decode every continuation by itself).
std::string FilenameParameters(const std::string& strWireName, MailCharset charset)
{
    const std::string strCharset =
        std::string(charset == MailCharset::utf8 ? "UTF-8" : "ISO-2022-JP") + "''";
    const std::string strSingle =
        " filename*=" + strCharset + PercentEncoded(NameBytes(strWireName, charset));
    if (strSingle.size() <= kFoldColumn)
        return strSingle + "\r\n";
    std::string strOut;
    std::size_t nAt = 0;
    for (int nPart = 0; nAt < strWireName.size(); ++nPart)
    {
        const std::string strHead =
            " filename*" + std::to_string(nPart) + "*=" + (nPart == 0 ? strCharset : "");
        const auto segment = [&](std::size_t nEnd) {
            return strHead +
                   PercentEncoded(NameBytes(strWireName.substr(nAt, nEnd - nAt), charset));
        };
        std::size_t nEnd = nAt + WireCharLength(strWireName, nAt, charset);
        while (nEnd < strWireName.size())
        {
            const std::size_t nNext = nEnd + WireCharLength(strWireName, nEnd, charset);
            if (segment(nNext).size() + 1 > kFoldColumn) // room for the ";"
                break;
            nEnd = nNext;
        }
        if (!strOut.empty())
            strOut += ";\r\n";
        strOut += segment(nEnd);
        nAt = nEnd;
    }
    return strOut + "\r\n";
}
} // namespace

std::string AttachmentFileName(const char* pszPath)
{
    const std::string_view path = pszPath;
    const std::size_t nSlash = LastFolderSeparator(path);
    return std::string(nSlash == std::string_view::npos ? path : path.substr(nSlash + 1));
}

const char* MediaTypeOf(std::string_view name)
{
    const std::size_t nDot = name.rfind('.');
    if (nDot != std::string_view::npos)
    {
        std::string strExtension(name.substr(nDot + 1));
        for (char& c : strExtension)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        for (const MediaType& type : kMediaTypes)
            if (strExtension == type.pszExtension)
                return type.pszType;
    }
    return "application/octet-stream";
}

bool FormatAttachmentHeaderLines(const char* pszPath, std::array<std::string, 2>& lines,
                                 MailCharset charset)
{
    const std::string strName = AttachmentFileName(pszPath);
    const std::string strType = std::string("Content-Type: ") + MediaTypeOf(strName) + ";";
    const std::string strWireName = HeaderWireText(strName, charset);
    const bool bAscii = std::all_of(strWireName.begin(), strWireName.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (bAscii)
    {
        std::string strQuoted = "\"";
        strQuoted.append(QuotedStringContent(strWireName)).append("\"");
        lines[0] = strType + " name=" + strQuoted + "\r\n";
        lines[1] = "Content-Disposition: attachment;\r\n filename=" + strQuoted + "\r\n";
        return lines[0].size() <= kMaxLine + 2;
    }
    // " name=\"" before the first word, a blank before the others, the closing quote after the
    // last: every line stays within the fold column.
    const std::vector<std::string> words =
        EncodedWords(strWireName, charset, kFoldColumn - 8, kFoldColumn - 3);
    std::string strWords;
    for (const std::string& strWord : words)
        strWords += (strWords.empty() ? "" : "\r\n ") + strWord;
    lines[0] = strType + "\r\n name=\"" + strWords + "\"\r\n";
    lines[1] = "Content-Disposition: attachment;\r\n" + FilenameParameters(strWireName, charset);
    return true;
}
