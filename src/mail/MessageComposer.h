// MessageComposer.h - the bytes after DATA: the address header lines (RFC 2047 encoded-words), the
// text part and the base64 attachment part, written piece by piece to a text sink. The message
// is never held whole: the attachment is read in blocks of whole base64 lines.
#pragma once
#include "app/Records.h"
#include "mail/AttachmentHeaders.h"
#include "mail/BufferedSocket.h"
#include "mail/DeliveryProfile.h"

#include <array>
#include <ctime>
#include <string>
#include <string_view>

// Takes a NUL-terminated text and returns the number of bytes it took.
class ITextSink
{
  public:
    virtual ~ITextSink() = default;
    virtual int Write(const char* pszText) = 0;
    // Writes a run of whole lines, each ended by CR LF, and returns the sum of the counts. This
    // writes them one by one; a sink that can take the run in one piece does so.
    virtual int WriteLines(const char* pszLines);
};

// The sink of a running send: SendText on the connection; runs of whole lines go out unfiltered.
class CSocketTextSink : public ITextSink
{
  public:
    explicit CSocketTextSink(CBufferedSocket& socket) : m_socket(socket) {}
    int Write(const char* pszText) override;
    int WriteLines(const char* pszLines) override;

  private:
    CBufferedSocket& m_socket;
};

// Adds a sink's count to a running total, stopping at INT_MAX: a total over 2 GB (an attachment of
// more than about 1.5 GB) stays a positive count instead of wrapping round.
int AddCount(int nTotal, int nCount);

// Fixed texts of the message.
extern const char* const kTextPartContentType; // "Content-Type: text/plain; ..." ISO-2022-JP
extern const char* const kTextPartEncoding;    // "Content-Transfer-Encoding: 7bit\r\n\r\n"
extern const char* const kMimeVersion;
extern const char* const kMultipartEncoding;
extern const char* const kEndOfData;    // "\r\n.\r\n"
extern const char* const kBoundaryStem; // "_MULTIPART_MIXED_"

// A boundary no text of the message holds: the stem and 24 random hexadecimal digits (strTail in
// their place when it is given).
std::string MakeBoundary(const std::string& strTail = std::string());
// "Content-Type: multipart/mixed;" CR LF " boundary=..." CR LF.
std::string MultipartContentType(const std::string& strBoundary);
// CR LF "--BOUNDARY" CR LF, and the close delimiter CR LF "--BOUNDARY--" CR LF.
std::string Delimiter(const std::string& strBoundary);
std::string CloseDelimiter(const std::string& strBoundary);

// A CR or LF in a value would end its command or header line early: such a value is refused
// before any connection, for the reason kLineBreakReason.
bool HasLineBreak(std::string_view value);
constexpr const char* kLineBreakReason = "改行文字を含む項目があります";

// The encoded From, To and Subject lines (the sender's name and address, the request's name,
// address and title), folded. False when one does not fit (see SendCode::HeaderTooLong).
bool FormatAddressHeaderLines(const SenderInf& sender, const SendRequest& request,
                              std::array<std::string, 3>& lines,
                              MailCharset charset = MailCharset::iso2022jp);

// Writes the text part's two header lines, then the body: for ISO-2022-JP the CP932 body with
// what that charset cannot carry replaced, converted (in chunks of at most 1024 bytes, each a
// complete ISO-2022-JP string; a lead byte at the very end is not sent), 7bit as long as no line
// passes 998 bytes on the wire, else quoted-printable; for UTF-8 the UTF-8 body in base64, or
// quoted-printable where that is shorter. strMoreHeaders (whole lines) goes after the two header
// lines, before the empty line that ends the header: the message header of a plain mail.
// bLineEndFollows: what comes next begins with CR LF (the end of the data), so a line end that
// ends the body is left to it. Returns the sum of the counts the sink returned.
int WriteTextPart(ITextSink& sink, const std::string& strBody,
                  const std::string& strMoreHeaders = std::string(),
                  MailCharset charset = MailCharset::iso2022jp, bool bLineEndFollows = false);

// The header lines every message carries after From, To and Subject (RFC 5322 section 3.6): Date in
// the RFC 5322 form with the local offset, and a Message-ID unique to this message whose right
// part is the domain of the sender's address ("localhost" when it has none that can stand
// there). Each line ends in CR LF.
std::string DateHeaderLine(std::time_t timeSend);
std::string MessageIdHeaderLine(std::time_t timeSend, const char* pszSenderAddress);

// Writes the attachment part of the file: its two header lines, the encoding line, and the
// content in base64 lines of 76 characters (57 input bytes). An empty file writes nothing and gives
// 0. A file that cannot be opened or read raises CFileException; so does a name whose header lines
// do not fit. A file that ends before the size it had when it was opened sets *pbShortened (when
// given): what was sent is not the file. Returns the sum of the counts.
int WriteAttachmentPart(ITextSink& sink, const char* pszPath, bool* pbShortened = nullptr,
                        MailCharset charset = MailCharset::iso2022jp);
