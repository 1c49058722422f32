// PosixFileSizeLimit.cpp - the file size limit as RLIMIT_FSIZE.
#include "support/FileSizeLimit.h"

#include <csignal>
#include <sys/resource.h>

CFileSizeLimit::CFileSizeLimit(std::uint64_t nBytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    if (::getrlimit(RLIMIT_FSIZE, &saved) != 0)
    {
        m_strUnavailable = "getrlimit(RLIMIT_FSIZE) failed";
        return;
    }
    m_nSavedCurrent = saved.rlim_cur;
    m_nSavedMax = saved.rlim_max;
    rlimit small = saved;
    small.rlim_cur = static_cast<rlim_t>(nBytes);
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0)
        m_strUnavailable = "setrlimit(RLIMIT_FSIZE) failed";
}

CFileSizeLimit::~CFileSizeLimit()
{
    if (m_strUnavailable.empty())
    {
        const rlimit saved{static_cast<rlim_t>(m_nSavedCurrent), static_cast<rlim_t>(m_nSavedMax)};
        ::setrlimit(RLIMIT_FSIZE, &saved);
    }
}
