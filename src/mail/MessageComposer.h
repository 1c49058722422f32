// MessageComposer.h - the bytes after DATA: the address header lines (RFC 2047 encoded-words), the
// ISO-2022-JP text part and the base64 attachment part, written piece by piece to a text sink. The
// message is never held whole: the body is converted in chunks, the attachment read 72 bytes a
// line.
#pragma once
#include "app/Records.h"
#include "mail/BufferedSocket.h"

#include <array>
#include <ctime>
#include <string>

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
extern const char* const kTextPartContentType; // "Content-Type: text/plain; ..."
extern const char* const kTextPartEncoding;    // "Content-Transfer-Encoding: 7bit\r\n\r\n"
extern const char* const kMimeVersion;
extern const char* const kMultipartContentType;
extern const char* const kMultipartEncoding;
extern const char* const kFirstDelimiter;
extern const char* const kSecondDelimiter;
extern const char* const kCloseDelimiter;
extern const char* const kEndOfData; // "\r\n.\r\n"

// The encoded From, To and Subject lines (the sender's name and address, the request's name,
// address and title), each formatted and encoded in 1024 bytes. False when one does not fit (see
// SendCode::HeaderTooLong).
bool FormatAddressHeaderLines(const SenderInf& sender, const SendRequest& request,
                              std::array<std::string, 3>& lines);

// The attachment's name as the message names it: the path's last part (base name and extension).
std::string AttachmentFileName(const char* pszPath);

// The encoded Content-Type and Content-Disposition lines of the attachment part, each formatted and
// encoded in 256 bytes. False when one does not fit.
bool FormatAttachmentHeaderLines(const char* pszPath, std::array<std::string, 2>& lines);

// Writes the text part's two header lines, then the body converted to ISO-2022-JP in chunks of at
// most 1024 bytes (each a complete ISO-2022-JP string; a lead byte at the very end is not sent).
// strMoreHeaders (whole lines) goes after the two header lines, before the empty line that ends
// the header: the message header of a plain mail. Returns the sum of the counts the sink returned.
int WriteTextPart(ITextSink& sink, const std::string& strBody,
                  const std::string& strMoreHeaders = std::string());

// The header lines every message carries after the specified ones (RFC 5322 section 3.6): Date in
// the RFC 5322 form with the local offset, and a Message-ID unique to this message whose right
// part is the domain of the sender's address ("localhost" when it has none that can stand
// there). Each line ends in CR LF.
std::string DateHeaderLine(std::time_t timeSend);
std::string MessageIdHeaderLine(std::time_t timeSend, const char* pszSenderAddress);

// Writes the attachment part of the file: its two encoded header lines, the encoding line, and the
// content in base64 lines of 72 input bytes. An empty file writes nothing and gives 0. A file that
// cannot be opened or read raises CFileException; so does a name whose header lines do not fit.
// A file that ends before the size it had when it was opened sets *pbShortened (when given): what
// was sent is not the file. Returns the sum of the counts.
int WriteAttachmentPart(ITextSink& sink, const char* pszPath, bool* pbShortened = nullptr);
