// FileSizeLimit.h - makes this process's file writes past a size fail as a full disk does, for
// the tests of what a failed write leaves behind.
#pragma once
#include <cstdint>
#include <string>

class CFileSizeLimit
{
  public:
    // From now until the destructor, no file may grow past nBytes (RLIMIT_FSIZE, its signal
    // ignored). Windows has no such limit: there Unavailable() gives the reason.
    explicit CFileSizeLimit(std::uint64_t nBytes);
    ~CFileSizeLimit();
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

    // Why the limit is not in force; empty when it is.
    const std::string& Unavailable() const { return m_strUnavailable; }

  private:
    std::uint64_t m_nSavedCurrent = 0;
    std::uint64_t m_nSavedMax = 0;
    std::string m_strUnavailable;
};
