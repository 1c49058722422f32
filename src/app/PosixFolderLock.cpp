// PosixFolderLock.cpp - the data folder's in-use mark as a flock(2) on the folder itself.
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

CFolderInUse::CFolderInUse(const std::string& sjisFolder) : m_nHandle(OpenFolder(sjisFolder))
{
    const int fd = static_cast<int>(m_nHandle);
    if (fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) != 0)
    {
        ::close(fd);
        m_nHandle = -1;
    }
}

CFolderInUse::~CFolderInUse()
{
    if (m_nHandle >= 0)
        ::close(static_cast<int>(m_nHandle));
}

CFolderInUse::CFolderInUse(CFolderInUse&& other) noexcept : m_nHandle(other.m_nHandle)
{
    other.m_nHandle = -1;
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
