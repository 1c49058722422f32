// FolderLock.h - the mark a running Tarvell leaves on its data folder, so that tarvell-config can
// tell that the records it changes there may be met by the running program's own at its close.
#pragma once
#include <cstdint>
#include <string>

// A shared lock on the folder (on Windows, on a marker file in it), held while the object lives; it
// ends with the process however the process ends, so no stale mark is ever left behind. A folder
// that cannot be opened is simply not marked.
class CFolderInUse
{
  public:
    explicit CFolderInUse(const std::string& sjisFolder);
    ~CFolderInUse();
    CFolderInUse(CFolderInUse&& other) noexcept;
    CFolderInUse& operator=(CFolderInUse&&) = delete;
    CFolderInUse(const CFolderInUse&) = delete;
    CFolderInUse& operator=(const CFolderInUse&) = delete;

  private:
    std::intptr_t m_nHandle = -1; // a file descriptor, or a Windows HANDLE
};

// Whether some process (a running Tarvell) holds the folder's mark.
bool FolderInUse(const std::string& sjisFolder);
