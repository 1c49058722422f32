// ReplyReader.h - line-based reading of server replies for the modern session: an SMTP reply is
// read whole, every line of a multi-line reply included (RFC 5321 section 4.2.1), however the
// lines arrive in pieces. Bytes after the reply stay pending, so a caller can tell that a server
// said more than it was asked (response injection before a TLS handshake).
#pragma once
#include <string_view>
#include "mail/Socket.h"

#include <string>
#include <vector>

class CReplyReader
{
  public:
    explicit CReplyReader(ISocket& socket) : m_socket(socket) {}

    // Reads a one-line reply without its CR LF (a bare LF also ends it), within one reply's
    // deadline. False when the connection closed or failed first, or the line is longer than
    // MAX_LINE bytes.
    bool ReadLine(std::string& strLine);

    // Reads one SMTP reply: lines "ddd-text" up to the line "ddd text" (or "ddd"). Returns the
    // reply's code, or -1 when no whole reply came (closed, failed, a malformed line, codes that
    // differ between lines, more than MAX_LINES lines). lines gets each line's text after the code
    // and its separator.
    int ReadSmtpReply(std::vector<std::string>& lines);

    // True when bytes past the last line read have already arrived.
    bool HasPending() const { return !m_strPending.empty(); }
    // Forgets pending bytes (a new connection).
    void Reset() { m_strPending.clear(); }

    static constexpr std::size_t MAX_LINE = 2048;
    static constexpr std::size_t MAX_LINES = 100;

  private:
    // ReadLine without starting a new reply deadline.
    bool ReadLineOfReply(std::string& strLine);

    ISocket& m_socket;
    std::string m_strPending;
};

// Whether a POP3 reply line says "+OK" (both POP3 sessions ask it).
inline bool IsPop3Ok(std::string_view reply)
{
    return reply.substr(0, 3) == "+OK";
}
