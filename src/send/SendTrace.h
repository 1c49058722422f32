// SendTrace.h - log/trace.txt: the whole conversation of the last send command, every attempt and
// both directions, with time stamps. Secrets are masked and the message after DATA is a byte
// count. Writing it never fails a send: the first error is reported once on standard error and
// the rest of the trace is dropped.
#pragma once
#include "app/Platform.h"
#include "mail/TraceSink.h"

#include <string>

class CSendTrace : public ITraceSink
{
  public:
    // Replaces the file at strPath (CP932) with an empty trace.
    CSendTrace(IPlatform& platform, std::string strPath);

    // A line that opens one attempt: the recipient's name and address.
    void BeginAttempt(const std::string& strName, const std::string& strAddress);
    // A line of the program's own: a check's outcome, the attempt's result.
    void Note(const std::string& strText);

    void Connected(const std::string& strHost, int nPort, bool bOpen) override;
    void Sent(std::string_view bytes) override;
    void SentSecret(std::string_view shown, std::size_t nHidden) override;
    void SentData(std::size_t nBytes) override;
    void Received(std::string_view bytes) override;
    void Closed() override;

    bool Failed() const { return m_bFailed; }

  private:
    // Writes each line of bytes after a time stamp and the direction mark.
    void WriteLines(const char* pszMark, std::string_view bytes);
    void Append(const std::string& strText);

    IPlatform& m_platform;
    std::string m_strPath;
    bool m_bFailed = false;
};
