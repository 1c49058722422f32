// WinFileSystem.cpp - the program's one file layer over the Win32 wide API. CP932 paths become
// UTF-16 here, never through the ANSI calls (which would read them in the system's code page);
// files are opened binary, so no CR is ever added or taken.
#include "app/FileSystem.h"

#include "app/Sjis.h"
#include "app/TextCodec.h"
#include "app/WinText.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <random>
#include <windows.h>

namespace
{
// The errno value whose file error a Win32 error means, so that both platforms name one cause.
int ErrnoFromWin32(DWORD nError)
{
    switch (nError)
    {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return EINVAL;
    case ERROR_CANT_RESOLVE_FILENAME:
        return ELOOP;
    default:
        return EIO;
    }
}

[[noreturn]] void Throw(std::string_view sjisPath, int nErrno)
{
    throw CFileException(CFileException::CauseFromErrno(nErrno), std::string(sjisPath), nErrno);
}

[[noreturn]] void ThrowLastError(std::string_view sjisPath)
{
    Throw(sjisPath, ErrnoFromWin32(::GetLastError()));
}

bool WidePath(std::string_view sjisPath, std::wstring& wide)
{
    return !sjisPath.empty() && SjisToWide(sjisPath, wide) && !wide.empty();
}

std::wstring WidePathOrThrow(std::string_view sjisPath)
{
    std::wstring wide;
    if (!WidePath(sjisPath, wide))
        throw CFileException(CFileException::badPath, std::string(sjisPath), EILSEQ);
    return wide;
}

class CHandle
{
  public:
    explicit CHandle(HANDLE h = INVALID_HANDLE_VALUE) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    bool Ok() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }
    HANDLE Release()
    {
        const HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return h;
    }
    bool Close()
    {
        const bool bOk = !Ok() || ::CloseHandle(m_h) != 0;
        m_h = INVALID_HANDLE_VALUE;
        return bOk;
    }

  private:
    HANDLE m_h;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A disk file that is neither a folder nor a reparse point (a link or junction).
bool IsPlainDiskFile(HANDLE h)
{
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileType(h) == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

// What stands at the path, links followed; false when nothing can be opened there.
struct PathInfo
{
    bool bFolder = false;
    bool bRegular = false;
    std::int64_t nSize = 0;
};

bool QueryPath(std::string_view sjisPath, PathInfo& info)
{
    std::wstring wide;
    if (!WidePath(sjisPath, wide))
        return false;
    // Only the attributes are asked for: a file the user may not read still has its size.
    CHandle h(::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.Ok())
        return false;
    BY_HANDLE_FILE_INFORMATION data{};
    if (::GetFileType(h.Get()) != FILE_TYPE_DISK)
        return true; // a device or pipe: there, but neither file nor folder
    if (!::GetFileInformationByHandle(h.Get(), &data))
        return false;
    info.bFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.bRegular = !info.bFolder;
    info.nSize = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                           data.nFileSizeLow);
    return true;
}

// Writes all bytes at the handle's position (or, with bAtEnd, each piece at the file's end);
// false with the Win32 error set.
bool WriteAll(HANDLE h, const void* pData, std::size_t nBytes, bool bAtEnd)
{
    const char* p = static_cast<const char*>(pData);
    while (nBytes > 0)
    {
        const DWORD nPiece = static_cast<DWORD>(std::min<std::size_t>(nBytes, 1u << 24));
        DWORD nWritten = 0;
        OVERLAPPED atEnd{};
        atEnd.Offset = 0xFFFFFFFF;
        atEnd.OffsetHigh = 0xFFFFFFFF;
        if (!::WriteFile(h, p, nPiece, &nWritten, bAtEnd ? &atEnd : nullptr))
            return false;
        if (nWritten == 0)
        {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        p += nWritten;
        nBytes -= nWritten;
    }
    return true;
}
} // namespace

std::int64_t GetFileSizeOrZero(std::string_view sjisPath)
{
    // From the attributes alone, as on Linux: a file that cannot be read must not count as
    // missing, or its loader would keep defaults and write them over it.
    PathInfo info;
    return QueryPath(sjisPath, info) && info.bRegular ? info.nSize : 0;
}

bool PathExists(std::string_view sjisPath)
{
    PathInfo info;
    return QueryPath(sjisPath, info);
}

bool IsFolder(std::string_view sjisPath)
{
    PathInfo info;
    return QueryPath(sjisPath, info) && info.bFolder;
}

bool PathEntryExists(std::string_view sjisPath)
{
    std::wstring wide;
    return WidePath(sjisPath, wide) &&
           ::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsRegularFile(std::string_view sjisPath)
{
    PathInfo info;
    return QueryPath(sjisPath, info) && info.bRegular;
}

std::vector<std::string> ListFolder(std::string_view sjisFolder)
{
    std::vector<std::string> names;
    std::wstring pattern;
    if (!WidePath(sjisFolder, pattern))
        return names;
    if (pattern.back() != L'/' && pattern.back() != L'\\')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    const HANDLE hFind = ::FindFirstFileW(pattern.c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do
    {
        const std::wstring_view name = found.cFileName;
        std::string sjis;
        if (name != L"." && name != L".." && WideToSjis(name, sjis))
            names.push_back(sjis);
    } while (::FindNextFileW(hFind, &found));
    ::FindClose(hFind);
    std::sort(names.begin(), names.end());
    return names;
}

bool CreateFolder(std::string_view sjisPath, unsigned nMode)
{
    (void)nMode; // the new folder inherits its parent's access rights
    std::wstring wide;
    return WidePath(sjisPath, wide) && ::CreateDirectoryW(wide.c_str(), nullptr) != 0;
}

std::size_t LastFolderSeparator(std::string_view sjisPath)
{
    // '\\' is also the second byte of many double-byte characters (ソ is 0x83 0x5C).
    std::size_t nLast = std::string_view::npos;
    for (std::size_t i = 0; i < sjisPath.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(sjisPath[i]);
        if (IsLeadByte(c))
            ++i;
        else if (c == '/' || c == '\\')
            nLast = i;
    }
    return nLast;
}

bool IsFileNameCharacter(char c)
{
    return std::string_view("/\\:*?\"<>|").find(c) == std::string_view::npos;
}

bool IsAbsolutePath(std::string_view sjisPath)
{
    const auto separator = [&](std::size_t i) {
        return sjisPath.size() > i && (sjisPath[i] == '/' || sjisPath[i] == '\\');
    };
    const bool bDrive =
        sjisPath.size() >= 2 && sjisPath[1] == ':' &&
        ((sjisPath[0] >= 'A' && sjisPath[0] <= 'Z') || (sjisPath[0] >= 'a' && sjisPath[0] <= 'z'));
    // "\\dir" starts at the current drive's root: not beside anything either.
    return (bDrive && separator(2)) || separator(0);
}

CFileReader::CFileReader(std::string_view sjisPath) : m_strPath(sjisPath), m_pFile(nullptr)
{
    const std::wstring wide = WidePathOrThrow(sjisPath);
    // Others may go on reading, writing or replacing the file meanwhile, as on Linux.
    CHandle h(::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Ok())
        ThrowLastError(sjisPath); // a folder: access denied
    if (!IsPlainDiskFile(h.Get()))
        throw CFileException(CFileException::notRegularFile, std::string(sjisPath));
    const int fd =
        ::_open_osfhandle(reinterpret_cast<std::intptr_t>(h.Get()), _O_RDONLY | _O_BINARY);
    if (fd < 0)
        Throw(sjisPath, EMFILE);
    h.Release();
    m_pFile = ::_fdopen(fd, "rb");
    if (m_pFile == nullptr)
    {
        const int nErr = errno;
        ::_close(fd);
        Throw(sjisPath, nErr);
    }
}

std::int64_t CFileReader::Size() const
{
    LARGE_INTEGER size{};
    const HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(m_pFile)));
    if (!::GetFileSizeEx(h, &size))
        ThrowLastError(m_strPath);
    return size.QuadPart;
}

namespace
{
// A fresh file beside widePath with a short name (".tvl" and six random letters), so a name near
// the file-name limit still leaves room for it.
HANDLE CreateTemporaryBeside(const std::wstring& widePath, std::wstring& strTemp)
{
    static const wchar_t kLetters[] =
        L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::size_t nSlash = widePath.find_last_of(L"/\\");
    const std::wstring folder = nSlash == std::wstring::npos ? L"" : widePath.substr(0, nSlash + 1);
    std::random_device random;
    for (int nTry = 0; nTry < 100; ++nTry)
    {
        strTemp = folder + L".tvl";
        for (int i = 0; i < 6; ++i)
            strTemp += kLetters[random() % (sizeof(kLetters) / sizeof(wchar_t) - 1)];
        const HANDLE h = ::CreateFileW(strTemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return h;
    }
    return INVALID_HANDLE_VALUE;
}
} // namespace

void WriteFileReplacing(std::string_view sjisPath, const void* pData, std::size_t nBytes,
                        unsigned nMode)
{
    (void)nMode; // the new file takes its folder's access rights
    const std::wstring wide = WidePathOrThrow(sjisPath);
    // A file the user could not write in place (read-only, or held without sharing) is not
    // replaced behind its owner's back.
    const DWORD nAttributes = ::GetFileAttributesW(wide.c_str());
    if (nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    {
        // Asked for itself: an administrator's open for writing may ignore it.
        if ((nAttributes & FILE_ATTRIBUTE_READONLY) != 0)
            Throw(sjisPath, EACCES);
        CHandle old(::CreateFileW(wide.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!old.Ok())
            ThrowLastError(sjisPath);
    }
    std::wstring tmp;
    CHandle h(CreateTemporaryBeside(wide, tmp));
    if (!h.Ok())
        ThrowLastError(sjisPath);
    DWORD nError = 0;
    if (!WriteAll(h.Get(), pData, nBytes, false) || !::FlushFileBuffers(h.Get()))
        nError = ::GetLastError();
    if (!h.Close() && nError == 0)
        nError = ::GetLastError();
    // One step that replaces an existing file (a plain rename refuses to), written through to
    // the disk before it returns.
    if (nError == 0 && !::MoveFileExW(tmp.c_str(), wide.c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        nError = ::GetLastError();
    if (nError != 0)
    {
        ::DeleteFileW(tmp.c_str());
        Throw(sjisPath, ErrnoFromWin32(nError));
    }
}

namespace
{
// Opens a file of the log or keep folder for writing: neither the folder nor the file may be a
// reparse point (a link or junction), and only a plain disk file is taken. Throws the file error,
// naming the folder when it is the folder that is a link.
HANDLE OpenPrivateFile(std::string_view sjisPath)
{
    const std::wstring wide = WidePathOrThrow(sjisPath);
    const std::size_t nSjisSlash = LastFolderSeparator(sjisPath);
    if (nSjisSlash != std::string_view::npos && nSjisSlash > 0)
    {
        std::wstring folder;
        if (WidePath(sjisPath.substr(0, nSjisSlash), folder))
        {
            const DWORD nAttributes = ::GetFileAttributesW(folder.c_str());
            if (nAttributes != INVALID_FILE_ATTRIBUTES &&
                (nAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
                throw CFileException(CFileException::notRegularFile,
                                     std::string(sjisPath.substr(0, nSjisSlash)), ELOOP);
        }
    }
    CHandle h(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h.Ok())
        ThrowLastError(sjisPath);
    if (!IsPlainDiskFile(h.Get()))
        throw CFileException(CFileException::notRegularFile, std::string(sjisPath));
    return h.Release();
}
} // namespace

void AppendToFile(std::string_view sjisPath, const void* pData, std::size_t nBytes)
{
    CHandle h(OpenPrivateFile(sjisPath));
    DWORD nError = 0;
    LARGE_INTEGER start{};
    const bool bStart = ::GetFileSizeEx(h.Get(), &start) != 0;
    if (!WriteAll(h.Get(), pData, nBytes, true))
    {
        nError = ::GetLastError();
        // A torn entry would stay in the middle of the file with later entries after it: the
        // file is cut back to where this append began.
        if (bStart && ::SetFilePointerEx(h.Get(), start, nullptr, FILE_BEGIN))
            ::SetEndOfFile(h.Get());
    }
    if (!h.Close() && nError == 0)
        nError = ::GetLastError();
    if (nError != 0)
        Throw(sjisPath, ErrnoFromWin32(nError));
}

void EmptyPrivateFile(std::string_view sjisPath)
{
    CHandle h(OpenPrivateFile(sjisPath));
    if (!::SetEndOfFile(h.Get()) || !h.Close())
        ThrowLastError(sjisPath);
}

std::string ShownPath(std::string_view sjisPath)
{
    std::string strShown(sjisPath);
    std::replace(strShown.begin(), strShown.end(), '/', '\\');
    return strShown;
}
