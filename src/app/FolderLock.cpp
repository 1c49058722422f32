// FolderLock.cpp - the data folder's in-use mark as a flock(2) on the folder itself.
#include "app/FolderLock.h"

#include "app/TextCodec.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace
{
int OpenFolder(const std::string& sjisFolder)
{
    std::string os;
    if (!SjisToUtf8(sjisFolder, os) || os.empty())
        return -1;
    return ::open(os.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}
} // namespace

CFolderInUse::CFolderInUse(const std::string& sjisFolder) : m_fd(OpenFolder(sjisFolder))
{
    if (m_fd >= 0 && ::flock(m_fd, LOCK_SH | LOCK_NB) != 0)
    {
        ::close(m_fd);
        m_fd = -1;
    }
}

CFolderInUse::~CFolderInUse()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

CFolderInUse::CFolderInUse(CFolderInUse&& other) noexcept : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

bool FolderInUse(const std::string& sjisFolder)
{
    const int fd = OpenFolder(sjisFolder);
    if (fd < 0)
        return false;
    // An exclusive lock is refused while any running program holds its shared one.
    const bool bInUse = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return bInUse;
}
