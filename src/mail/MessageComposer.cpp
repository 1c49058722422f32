// MessageComposer.cpp - header lines, text part and attachment part of a message.
#include "mail/MessageComposer.h"

#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "mail/LineTransport.h"
#include "mail/MailEncoders.h"

#include <cstdio>
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>
#include <random>

const char* const kTextPartContentType = "Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\n";
const char* const kTextPartEncoding = "Content-Transfer-Encoding: 7bit\r\n\r\n";
const char* const kMimeVersion = "MIME-Version: 1.0\r\n";
const char* const kMultipartContentType =
    "Content-Type: multipart/mixed; boundary=\"_MULTIPART_MIXED_\"\r\n";
const char* const kMultipartEncoding = "Content-Transfer-Encoding: 7bit\r\n";
const char* const kFirstDelimiter = "\r\n--_MULTIPART_MIXED_\r\n";
const char* const kSecondDelimiter = "\r\n\r\n--_MULTIPART_MIXED_\r\n";
const char* const kCloseDelimiter = "\r\n--_MULTIPART_MIXED_--\r\n";
const char* const kEndOfData = "\r\n.\r\n";

namespace
{
constexpr int kLineBufferSize = 1024;
constexpr int kAttachmentLineBufferSize = 256;
constexpr int kConvertCapacity = 1024;
constexpr std::size_t kAttachmentBytesPerLine = 72;

// Formats into a buffer of nSize bytes and encodes into another; false when either does not fit.
template <typename... Args>
bool FormatAndEncode(std::size_t nSize, std::string& strLine, const char* pszFormat, Args... args)
{
    std::string strRaw(nSize, '\0');
    const int n = std::snprintf(strRaw.data(), nSize, pszFormat, args...);
    if (n < 0 || static_cast<std::size_t>(n) >= nSize)
        return false;
    std::string strEncoded(nSize, '\0');
    if (!EncodeHeaderLine(strRaw.c_str(), strEncoded.data(), nSize))
        return false;
    strLine = strEncoded.c_str();
    return true;
}
} // namespace

int AddCount(int nTotal, int nCount)
{
    const long long nSum = static_cast<long long>(nTotal) + nCount;
    if (nSum > INT_MAX)
        return INT_MAX;
    return nSum < INT_MIN ? INT_MIN : static_cast<int>(nSum);
}

int ITextSink::WriteLines(const char* pszLines)
{
    int nTotal = 0;
    std::string strLine;
    while (*pszLines != '\0')
    {
        const char* pszEnd = std::strstr(pszLines, "\r\n");
        const std::size_t nLength =
            pszEnd != nullptr ? pszEnd + 2 - pszLines : std::strlen(pszLines);
        strLine.assign(pszLines, nLength);
        nTotal = AddCount(nTotal, Write(strLine.c_str()));
        pszLines += nLength;
    }
    return nTotal;
}

int CSocketTextSink::Write(const char* pszText)
{
    return SendText(m_socket, pszText);
}

int CSocketTextSink::WriteLines(const char* pszLines)
{
    const int nSent = m_socket.SendLines(pszLines, static_cast<int>(std::strlen(pszLines)));
    return nSent > 0 ? nSent : 0;
}

bool FormatAddressHeaderLines(const SenderInf& sender, const SendRequest& request,
                              std::array<std::string, 3>& lines)
{
    return FormatAndEncode(kLineBufferSize, lines[0], "From: %s <%s>\r\n",
                           FieldText(sender.szName).c_str(),
                           FieldText(sender.szMailAddress).c_str()) &&
           FormatAndEncode(kLineBufferSize, lines[1], "To: %s <%s>\r\n",
                           FieldText(request.szName).c_str(),
                           FieldText(request.szAddress).c_str()) &&
           FormatAndEncode(kLineBufferSize, lines[2], "Subject: %s\r\n",
                           FieldText(request.szTitle).c_str());
}

std::string AttachmentFileName(const char* pszPath)
{
    // "/" is never the second byte of a double-byte character, so a plain search is safe.
    const char* pszSlash = std::strrchr(pszPath, '/');
    return pszSlash != nullptr ? pszSlash + 1 : pszPath;
}

namespace
{
// The name as the content of a quoted string (RFC 2045, RFC 5322 quoted-string): '"' and '\'
// get a '\' in front. Bytes from a high byte on are paired as the header encoder pairs them, so a
// '\' that is the second byte of a character (such as ソ) stays as it is.
std::string QuotedStringContent(const std::string& strName)
{
    std::string strOut;
    strOut.reserve(strName.size());
    for (std::size_t i = 0; i < strName.size(); ++i)
    {
        const char c = strName[i];
        if (static_cast<unsigned char>(c) >= 0x80 && i + 1 < strName.size())
        {
            strOut.append(strName, i, 2);
            ++i;
            continue;
        }
        if (c == '"' || c == '\\')
            strOut.push_back('\\');
        strOut.push_back(c);
    }
    return strOut;
}
} // namespace

bool FormatAttachmentHeaderLines(const char* pszPath, std::array<std::string, 2>& lines)
{
    const std::string strName = QuotedStringContent(AttachmentFileName(pszPath));
    return FormatAndEncode(kAttachmentLineBufferSize, lines[0],
                           "Content-Type: application/octet-stream; name=\"%s\"\r\n",
                           strName.c_str()) &&
           FormatAndEncode(kAttachmentLineBufferSize, lines[1],
                           "Content-Disposition: attachment;\r\n filename=\"%s\"\r\n",
                           strName.c_str());
}

namespace
{
// The longest line RFC 5322 allows, without its CR LF.
constexpr std::size_t kMaxWireLine = 998;
constexpr std::size_t kEscapeLength = 3;
constexpr char kToKanji[] = "\x1B$B";
constexpr char kToAscii[] = "\x1B(B";

// Breaks the converted body's lines that would pass 998 bytes on the wire (a paragraph saved as
// one line) with CR LF before the character that would pass the limit, closing the kanji mode
// before the break and opening it again after it. The count includes the "." that SMTP
// transparency adds to a line beginning with ".". Lines that fit pass unchanged, byte for byte.
class CLineBreaker
{
  public:
    // Appends the wire form of one converted chunk (ISO-2022-JP from SjisToJis) to strOut.
    void Add(const char* pszJis, std::string& strOut)
    {
        for (const char* p = pszJis; *p != '\0';)
        {
            if (*p == '\r' || *p == '\n')
            {
                strOut.push_back(*p++);
                m_nLine = 0;
                continue;
            }
            // The token (an escape sequence, a kanji pair or one byte) and what must follow it
            // on this line: after ESC $ B one character and the closing ESC ( B, after a kanji
            // pair the closing ESC ( B.
            std::size_t nToken = 1;
            std::size_t nNeeded = 1;
            if (*p == 0x1B && p[1] != '\0' && p[2] != '\0')
            {
                nToken = kEscapeLength;
                m_bKanji = p[1] == '$';
                nNeeded = m_bKanji ? kEscapeLength + 2 + kEscapeLength : kEscapeLength;
                if (m_nLine + nNeeded > kMaxWireLine)
                    Break(false, strOut);
            }
            else if (m_bKanji)
            {
                nToken = p[1] != '\0' ? 2 : 1;
                nNeeded = nToken + kEscapeLength;
                if (m_nLine + nNeeded > kMaxWireLine)
                    Break(true, strOut);
            }
            else
            {
                if (m_nLine + nNeeded > kMaxWireLine)
                    Break(false, strOut);
                if (m_nLine == 0 && *p == '.')
                    m_nLine = 1; // the dot that transparency adds
            }
            strOut.append(p, nToken);
            m_nLine += nToken;
            p += nToken;
        }
    }

  private:
    void Break(bool bInKanji, std::string& strOut)
    {
        if (bInKanji)
            strOut.append(kToAscii);
        strOut.append("\r\n");
        m_nLine = 0;
        if (bInKanji)
        {
            strOut.append(kToKanji);
            m_nLine = kEscapeLength;
        }
    }

    std::size_t m_nLine = 0; // wire bytes of the current line so far
    bool m_bKanji = false;
};
} // namespace

int WriteTextPart(ITextSink& sink, const std::string& strBody, const std::string& strMoreHeaders)
{
    int nTotal = sink.Write(kTextPartContentType);
    if (strMoreHeaders.empty())
        nTotal += sink.Write(kTextPartEncoding);
    else
    {
        nTotal += sink.Write("Content-Transfer-Encoding: 7bit\r\n");
        nTotal += sink.Write((strMoreHeaders + "\r\n").c_str());
    }
    // The body is converted from a copy that ends at its first NUL, as the text it is.
    const char* p = strBody.c_str();
    std::size_t nRemaining = std::strlen(p);
    char szChunk[kConvertCapacity];
    CLineBreaker breaker;
    std::string strWire;
    while (nRemaining > 0)
    {
        const int nConsumed = SjisToJis(p, szChunk, kConvertCapacity);
        if (nConsumed <= 0)
            break; // only a lone lead byte is left
        strWire.clear();
        breaker.Add(szChunk, strWire);
        nTotal = AddCount(nTotal, sink.Write(strWire.c_str()));
        p += nConsumed;
        nRemaining -= static_cast<std::size_t>(nConsumed);
    }
    return nTotal;
}

std::string DateHeaderLine(std::time_t timeSend)
{
    // Names fixed in English, whatever the locale: RFC 5322 defines them.
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    if (::localtime_r(&timeSend, &local) == nullptr)
        return std::string();
    const long nOffset = local.tm_gmtoff / 60;
    const long nAbs = nOffset < 0 ? -nOffset : nOffset;
    char szLine[64];
    std::snprintf(szLine, sizeof(szLine), "Date: %s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld\r\n",
                  kDays[local.tm_wday % 7], local.tm_mday, kMonths[local.tm_mon % 12],
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                  nOffset < 0 ? '-' : '+', nAbs / 60, nAbs % 60);
    return szLine;
}

std::string MessageIdHeaderLine(std::time_t timeSend, const char* pszSenderAddress)
{
    const char* pszAt = std::strrchr(pszSenderAddress, '@');
    std::string strDomain = pszAt != nullptr ? pszAt + 1 : "";
    const bool bUsable = !strDomain.empty() && strDomain.size() <= 253 &&
                         std::all_of(strDomain.begin(), strDomain.end(), [](char c) {
                             return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                    (c >= '0' && c <= '9') || c == '.' || c == '-';
                         });
    if (!bUsable)
        strDomain = "localhost";
    std::random_device random;
    char szLeft[64];
    std::snprintf(szLeft, sizeof(szLeft), "%llx.%08x%08x",
                  static_cast<unsigned long long>(timeSend), static_cast<unsigned>(random()),
                  static_cast<unsigned>(random()));
    return std::string("Message-ID: <") + szLeft + "@" + strDomain + ">\r\n";
}

int WriteAttachmentPart(ITextSink& sink, const char* pszPath, bool* pbShortened)
{
    if (pbShortened != nullptr)
        *pbShortened = false;
    CFileReader file(pszPath);
    const std::int64_t nLength = file.Size();
    if (nLength <= 0)
        return 0;
    std::array<std::string, 2> headers;
    if (!FormatAttachmentHeaderLines(pszPath, headers))
        throw CFileException(CFileException::badPath, pszPath);
    int nTotal = sink.Write(headers[0].c_str());
    nTotal += sink.Write(headers[1].c_str());
    nTotal += sink.Write("Content-Transfer-Encoding: base64\r\n\r\n");

    // Read in blocks of whole lines; each line is 72 bytes of the file. A block's lines are encoded
    // into one text and written at once: per-line writes cost more than the encoding itself.
    constexpr std::size_t kLinesPerBlock = 512;
    constexpr std::size_t kBlock = kAttachmentBytesPerLine * kLinesPerBlock;
    constexpr std::size_t kEncodedLine = kAttachmentBytesPerLine / 3 * 4 + 2;
    std::vector<unsigned char> block(kBlock);
    std::vector<char> text(kEncodedLine * kLinesPerBlock + 1);
    std::int64_t nLeft = nLength;
    while (nLeft > 0)
    {
        const std::size_t nWant =
            nLeft < static_cast<std::int64_t>(kBlock) ? static_cast<std::size_t>(nLeft) : kBlock;
        const std::size_t nRead = file.Read(block.data(), nWant);
        if (nRead == 0)
        {
            if (pbShortened != nullptr)
                *pbShortened = true; // the file became shorter while it was sent
            break;
        }
        char* pOut = text.data();
        for (std::size_t nAt = 0; nAt < nRead; nAt += kAttachmentBytesPerLine)
        {
            const std::size_t nLine = std::min(kAttachmentBytesPerLine, nRead - nAt);
            EncodeBase64Bytes(static_cast<int>(nLine), block.data() + nAt, pOut);
            pOut += 4 * ((nLine + 2) / 3);
            *pOut++ = '\r';
            *pOut++ = '\n';
        }
        *pOut = '\0';
        nTotal = AddCount(nTotal, sink.WriteLines(text.data()));
        nLeft -= static_cast<std::int64_t>(nRead);
    }
    return nTotal;
}
