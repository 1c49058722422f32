// MessageComposer.cpp - header lines, text part and attachment part of a message.
#include "mail/MessageComposer.h"

#include "app/FileSystem.h"
#include "app/LocalTime.h"
#include "app/Sjis.h"
#include "mail/LineTransport.h"
#include "mail/HeaderPhrase.h"
#include "mail/MailEncoders.h"
#include "mail/WireCharacters.h"

#include <cstdio>
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>
#include <random>

const char* const kTextPartContentType = "Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\n";
const char* const kTextPartEncoding = "Content-Transfer-Encoding: 7bit\r\n\r\n";
const char* const kMimeVersion = "MIME-Version: 1.0\r\n";
const char* const kMultipartEncoding = "Content-Transfer-Encoding: 7bit\r\n";
const char* const kEndOfData = "\r\n.\r\n";
const char* const kBoundaryStem = "_MULTIPART_MIXED_";

namespace
{
constexpr int kConvertCapacity = 1024;
constexpr std::size_t kAttachmentBytesPerLine = kMaxEncodedLine / 4 * 3;
// The longest line RFC 5322 allows, without its CR LF.
constexpr std::size_t kMaxWireLine = 998;
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

std::string MakeBoundary(const std::string& strTail)
{
    if (!strTail.empty())
        return kBoundaryStem + strTail;
    std::random_device random;
    char szTail[32];
    std::snprintf(szTail, sizeof(szTail), "%08x%08x%08x", static_cast<unsigned>(random()),
                  static_cast<unsigned>(random()), static_cast<unsigned>(random()));
    return kBoundaryStem + std::string(szTail);
}

std::string MultipartContentType(const std::string& strBoundary)
{
    return "Content-Type: multipart/mixed;\r\n boundary=\"" + strBoundary + "\"\r\n";
}

std::string Delimiter(const std::string& strBoundary)
{
    return "\r\n--" + strBoundary + "\r\n";
}

bool HasLineBreak(std::string_view value)
{
    return value.find_first_of("\r\n") != std::string_view::npos;
}

std::string CloseDelimiter(const std::string& strBoundary)
{
    return "\r\n--" + strBoundary + "--\r\n";
}

namespace
{
// The longest line of text (CR LF, LF or CR ends a line), counting the "." that SMTP transparency
// adds to a line beginning with ".".
std::size_t LongestWireLine(std::string_view text)
{
    std::size_t nLongest = 0;
    std::size_t nAt = 0;
    while (nAt < text.size())
    {
        std::size_t nEnd = text.find_first_of("\r\n", nAt);
        if (nEnd == std::string_view::npos)
            nEnd = text.size();
        nLongest = std::max(nLongest, nEnd - nAt + (text[nAt] == '.' ? 1 : 0));
        nAt = nEnd + 1;
    }
    return nLongest;
}

bool FitsWireLines(const std::string& strLine)
{
    return LongestWireLine(strLine) <= kMaxWireLine;
}

// The CP932 body as ISO-2022-JP, converted in chunks as the converter's budget allows.
std::string JisBody(const std::string& strBody)
{
    const std::string strSafe = ReplaceUnsafeChars(strBody);
    std::string strJis;
    const char* p = strSafe.c_str();
    std::size_t nRemaining = std::strlen(p);
    char szChunk[kConvertCapacity];
    while (nRemaining > 0)
    {
        const int nConsumed = SjisToJis(p, szChunk, kConvertCapacity);
        if (nConsumed <= 0)
            break; // only a lone lead byte is left
        strJis += szChunk;
        p += nConsumed;
        nRemaining -= static_cast<std::size_t>(nConsumed);
    }
    return strJis;
}

// Every line end of the text as CR LF, the canonical form of text before base64.
std::string WithCrLf(std::string_view text)
{
    std::string strOut;
    strOut.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '\r' || text[i] == '\n')
        {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            strOut.append("\r\n");
        }
        else
            strOut.push_back(text[i]);
    }
    return strOut;
}

void DropFinalLineEnd(std::string& strText)
{
    if (strText.size() >= 2 && strText.compare(strText.size() - 2, 2, "\r\n") == 0)
        strText.resize(strText.size() - 2);
    else if (!strText.empty() && (strText.back() == '\n' || strText.back() == '\r'))
        strText.pop_back();
}
} // namespace

bool FormatAddressHeaderLines(const SenderInf& sender, const SendRequest& request,
                              std::array<std::string, 3>& lines, MailCharset charset)
{
    lines[0] = AddressHeaderLine("From", FieldText(sender.szName), FieldText(sender.szMailAddress),
                                 charset);
    lines[1] =
        AddressHeaderLine("To", FieldText(request.szName), FieldText(request.szAddress), charset);
    lines[2] = UnstructuredHeaderLine("Subject", FieldText(request.szTitle), charset);
    return std::all_of(lines.begin(), lines.end(), FitsWireLines);
}

int WriteTextPart(ITextSink& sink, const std::string& strBody, const std::string& strMoreHeaders,
                  MailCharset charset, bool bLineEndFollows)
{
    // The body is converted as the text it is: up to its first NUL.
    const std::string_view body(strBody.c_str());
    std::string strContent;
    const char* pszEncoding = "7bit";
    if (charset == MailCharset::iso2022jp)
    {
        strContent = JisBody(strBody);
        // A paragraph longer than a line may be keeps its line in quoted-printable, whose soft
        // line breaks every reader joins again.
        if (LongestWireLine(strContent) > kMaxWireLine)
        {
            strContent = EncodeQuotedPrintable(strContent);
            pszEncoding = "quoted-printable";
        }
    }
    else
    {
        std::string strQuoted = EncodeQuotedPrintable(body);
        std::string strBase64 = EncodeBase64Lines(WithCrLf(body));
        const bool bQuoted = strQuoted.size() < strBase64.size();
        strContent = bQuoted ? std::move(strQuoted) : std::move(strBase64);
        pszEncoding = bQuoted ? "quoted-printable" : "base64";
    }
    if (bLineEndFollows)
        DropFinalLineEnd(strContent);

    int nTotal = sink.Write(charset == MailCharset::iso2022jp
                                ? kTextPartContentType
                                : "Content-Type: text/plain; charset=\"UTF-8\"\r\n");
    const std::string strEncoding =
        std::string("Content-Transfer-Encoding: ") + pszEncoding + "\r\n";
    nTotal += sink.Write((strEncoding + strMoreHeaders + "\r\n").c_str());
    if (!strContent.empty())
        nTotal = AddCount(nTotal, sink.Write(strContent.c_str()));
    return nTotal;
}

std::string DateHeaderLine(std::time_t timeSend)
{
    // Names fixed in English, whatever the locale: RFC 5322 defines them.
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    if (!ToLocalTime(timeSend, local))
        return std::string();
    const long nOffset = UtcOffsetSeconds(timeSend, local) / 60;
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

int WriteAttachmentPart(ITextSink& sink, const char* pszPath, bool* pbShortened,
                        MailCharset charset)
{
    if (pbShortened != nullptr)
        *pbShortened = false;
    CFileReader file(pszPath);
    const std::int64_t nLength = file.Size();
    if (nLength <= 0)
        return 0;
    std::array<std::string, 2> headers;
    if (!FormatAttachmentHeaderLines(pszPath, headers, charset))
        throw CFileException(CFileException::badPath, pszPath);
    int nTotal = sink.Write(headers[0].c_str());
    nTotal += sink.Write(headers[1].c_str());
    nTotal += sink.Write("Content-Transfer-Encoding: base64\r\n\r\n");

    // Read in blocks of whole lines; each line is 57 bytes of the file. A block's lines are encoded
    // into one text and written at once: per-line writes cost more than the encoding itself, and
    // blocks of about 230 KB keep the reads and sends few (the DATA phase then keeps pace with
    // coreutils base64 writing to /dev/null; 512 lines fell about a tenth behind).
    constexpr std::size_t kLinesPerBlock = 4096;
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
