// WinFolderLock.cpp - the data folder's in-use mark as a shared lock on a marker file in it (a
// folder handle cannot be locked on Windows). The file stays; the lock ends with the process.
#include "app/FolderLock.h"

#include "app/AppFiles.h"
#include "app/WinText.h"

#include <windows.h>

namespace
{
HANDLE OpenMarker(const std::string& sjisFolder, DWORD nDisposition)
{
    std::string path = sjisFolder;
    if (!path.empty() && path.back() != '/' && path.back() != '\\')
        path += '/';
    path += kInUseMarkerName;
    std::wstring wide;
    if (sjisFolder.empty() || !SjisToWide(path, wide))
        return INVALID_HANDLE_VALUE;
    const DWORD nAttributes = nDisposition == OPEN_ALWAYS ? FILE_ATTRIBUTE_HIDDEN : 0;
    return ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         nDisposition, nAttributes, nullptr);
}

bool Lock(HANDLE h, DWORD nFlags)
{
    OVERLAPPED at{};
    return ::LockFileEx(h, nFlags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}
} // namespace

CFolderInUse::CFolderInUse(const std::string& sjisFolder)
{
    const HANDLE h = OpenMarker(sjisFolder, OPEN_ALWAYS);
    if (h == INVALID_HANDLE_VALUE)
        return;
    if (!Lock(h, 0))
    {
        ::CloseHandle(h);
        return;
    }
    m_nHandle = reinterpret_cast<std::intptr_t>(h);
}

CFolderInUse::~CFolderInUse()
{
    if (m_nHandle != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_nHandle));
}

CFolderInUse::CFolderInUse(CFolderInUse&& other) noexcept : m_nHandle(other.m_nHandle)
{
    other.m_nHandle = -1;
}

bool FolderInUse(const std::string& sjisFolder)
{
    const HANDLE h = OpenMarker(sjisFolder, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    // An exclusive lock is refused while any running program holds its shared one.
    const bool bInUse =
        !Lock(h, LOCKFILE_EXCLUSIVE_LOCK) && ::GetLastError() == ERROR_LOCK_VIOLATION;
    ::CloseHandle(h);
    return bInUse;
}
