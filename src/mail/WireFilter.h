// WireFilter.h - SMTP transparency for the message data after DATA (RFC 5321 sections 2.3.8 and
// 4.5.2): a lone CR or a lone LF goes out as CR LF, and a line that begins with "." gets one more
// ".". State carries over between calls, so a line that starts inside a later piece is handled too.
// Data that already uses CR LF and has no line starting with "." passes unchanged.
#pragma once
#include <cstddef>
#include <string>

class CWireFilter
{
  public:
    // Appends the wire form of nLength bytes to strOut.
    void Filter(const char* pData, std::size_t nLength, std::string& strOut);
    // Completes a CR left at the end of the data into CR LF; the filter then starts a new line.
    void Finish(std::string& strOut);
    void Reset();
    // No line is open: what comes next begins a line.
    bool AtLineStart() const { return m_bLineStart && !m_bAfterCr; }

  private:
    bool m_bLineStart = true;
    bool m_bAfterCr = false;
};
