// PosixFileSystem.cpp - the program's one file layer over POSIX calls.
#include "app/FileSystem.h"

#include "app/TextCodec.h"

#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
[[noreturn]] void Throw(std::string_view sjisPath, int nOsError)
{
    throw CFileException(CFileException::CauseFromErrno(nOsError), std::string(sjisPath), nOsError);
}

bool StatPath(std::string_view sjisPath, struct stat& st)
{
    std::string os;
    if (!SjisToUtf8(sjisPath, os) || os.empty())
        return false;
    return ::stat(os.c_str(), &st) == 0;
}

// Writes all bytes, going on after partial writes and interruptions; false with errno set.
bool WriteAll(int fd, const void* pData, std::size_t nBytes)
{
    const char* p = static_cast<const char*>(pData);
    while (nBytes > 0)
    {
        const ssize_t n = ::write(fd, p, nBytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        p += n;
        nBytes -= static_cast<std::size_t>(n);
    }
    return true;
}
} // namespace

std::int64_t GetFileSizeOrZero(std::string_view sjisPath)
{
    // The size comes from the file's attributes alone: a file that exists but cannot be read must
    // not count as missing, or its loader would keep defaults and write them over it. Opening it
    // is the loader's step, which raises the file error.
    struct stat st
    {
    };
    if (!StatPath(sjisPath, st) || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<std::int64_t>(st.st_size);
}

bool PathExists(std::string_view sjisPath)
{
    struct stat st
    {
    };
    return StatPath(sjisPath, st);
}

bool IsFolder(std::string_view sjisPath)
{
    struct stat st
    {
    };
    return StatPath(sjisPath, st) && S_ISDIR(st.st_mode);
}

bool PathEntryExists(std::string_view sjisPath)
{
    std::string os;
    struct stat st
    {
    };
    return SjisToUtf8(sjisPath, os) && !os.empty() && ::lstat(os.c_str(), &st) == 0;
}

bool IsRegularFile(std::string_view sjisPath)
{
    struct stat st
    {
    };
    return StatPath(sjisPath, st) && S_ISREG(st.st_mode);
}

std::vector<std::string> ListFolder(std::string_view sjisFolder)
{
    std::vector<std::string> names;
    std::string os;
    if (!SjisToUtf8(sjisFolder, os) || os.empty())
        return names;
    DIR* pDir = ::opendir(os.c_str());
    if (pDir == nullptr)
        return names;
    while (const dirent* pEntry = ::readdir(pDir))
    {
        const std::string name = pEntry->d_name;
        std::string sjis;
        if (name != "." && name != ".." && Utf8ToSjis(name, sjis))
            names.push_back(sjis);
    }
    ::closedir(pDir);
    std::sort(names.begin(), names.end());
    return names;
}

bool CreateFolder(std::string_view sjisPath, unsigned nMode)
{
    std::string os;
    if (!SjisToUtf8(sjisPath, os) || os.empty())
        return false;
    return ::mkdir(os.c_str(), static_cast<mode_t>(nMode)) == 0;
}

std::size_t LastFolderSeparator(std::string_view sjisPath)
{
    return sjisPath.rfind('/');
}

bool IsFileNameCharacter(char c)
{
    return c != '/';
}

bool IsAbsolutePath(std::string_view sjisPath)
{
    return !sjisPath.empty() && sjisPath[0] == '/';
}

CFileReader::CFileReader(std::string_view sjisPath) : m_strPath(sjisPath), m_pFile(nullptr)
{
    const std::string os = ToOsPath(sjisPath);
    // Non-blocking, so that a FIFO cannot hold the open; it is then refused with the devices.
    const int fd = ::open(os.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        Throw(sjisPath, errno);
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        const int nErr = errno;
        ::close(fd);
        if (S_ISDIR(st.st_mode))
            Throw(sjisPath, EISDIR);
        if (st.st_mode != 0)
            throw CFileException(CFileException::notRegularFile, std::string(sjisPath));
        Throw(sjisPath, nErr);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_pFile = ::fdopen(fd, "rb");
    if (m_pFile == nullptr)
    {
        const int nErr = errno;
        ::close(fd);
        Throw(sjisPath, nErr);
    }
}

std::int64_t CFileReader::Size() const
{
    struct stat st
    {
    };
    if (::fstat(::fileno(m_pFile), &st) != 0)
        Throw(m_strPath, errno);
    return static_cast<std::int64_t>(st.st_size);
}

namespace
{
// A fresh file beside osPath with a short name (".tvl" and six random letters), so a name near
// the file-name limit still leaves room for it; created with mode, which the umask narrows.
int CreateTemporaryBeside(const std::string& osPath, mode_t mode, std::string& strTemp)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::size_t nSlash = osPath.rfind('/');
    const std::string folder = nSlash == std::string::npos ? "" : osPath.substr(0, nSlash + 1);
    std::random_device random;
    for (int nTry = 0; nTry < 100; ++nTry)
    {
        strTemp = folder + ".tvl";
        for (int i = 0; i < 6; ++i)
            strTemp += kLetters[random() % (sizeof(kLetters) - 1)];
        const int fd =
            ::open(strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}
} // namespace

void WriteFileReplacing(std::string_view sjisPath, const void* pData, std::size_t nBytes,
                        unsigned nMode)
{
    const std::string os = ToOsPath(sjisPath);
    // A file that the user could not write in place is not replaced behind its owner's back (a
    // shared writable folder lets anyone rename over it).
    struct stat st
    {
    };
    if (::lstat(os.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    {
        const int fdOld = ::open(os.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fdOld < 0)
            Throw(sjisPath, errno);
        ::close(fdOld);
    }
    std::string tmp;
    const int fd = CreateTemporaryBeside(os, static_cast<mode_t>(nMode), tmp);
    if (fd < 0)
        Throw(sjisPath, errno);
    int nErr = 0;
    if (!WriteAll(fd, pData, nBytes) || ::fsync(fd) != 0)
        nErr = errno;
    if (::close(fd) != 0 && nErr == 0)
        nErr = errno;
    if (nErr == 0 && ::rename(tmp.c_str(), os.c_str()) != 0)
        nErr = errno;
    if (nErr != 0)
    {
        ::unlink(tmp.c_str());
        Throw(sjisPath, nErr);
    }
}

namespace
{
// Opens a file of the log or keep folder with flags besides O_WRONLY: the folder is opened first
// without following a link, then the file inside it, again without following one, and only a
// regular file is taken. Throws the file error, naming the folder when it is the folder that fails.
int OpenPrivateFile(std::string_view sjisPath, int nFlags)
{
    const std::string os = ToOsPath(sjisPath);
    const std::size_t nSlash = os.rfind('/');
    // The folder without its closing "/", which would follow a link in its place.
    const std::string folder = nSlash == std::string::npos ? "."
                               : nSlash == 0               ? "/"
                                                           : os.substr(0, nSlash);
    const std::string name = nSlash == std::string::npos ? os : os.substr(nSlash + 1);
    const int fdFolder = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fdFolder < 0)
    {
        const int nErr = errno;
        // A link in the folder's place is named as such ('/' is never the second byte of a
        // CP932 character); any other failure names the file, as an open of it would.
        // (O_DIRECTORY makes Linux say ENOTDIR for the link.)
        struct stat st
        {
        };
        const std::size_t nSjisSlash = sjisPath.rfind('/');
        if (::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
            nSjisSlash != std::string_view::npos)
            throw CFileException(CFileException::notRegularFile,
                                 std::string(sjisPath.substr(0, nSjisSlash)), ELOOP);
        Throw(sjisPath, nErr);
    }
    const int fd =
        ::openat(fdFolder, name.c_str(),
                 O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | nFlags, 0600);
    const int nErr = errno;
    ::close(fdFolder);
    if (fd < 0)
        Throw(sjisPath, nErr);
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        ::close(fd);
        throw CFileException(CFileException::notRegularFile, std::string(sjisPath));
    }
    return fd;
}
} // namespace

void AppendToFile(std::string_view sjisPath, const void* pData, std::size_t nBytes)
{
    const int fd = OpenPrivateFile(sjisPath, O_APPEND);
    int nErr = 0;
    const off_t nStart = ::lseek(fd, 0, SEEK_END);
    if (!WriteAll(fd, pData, nBytes))
    {
        nErr = errno;
        // A torn entry would stay in the middle of the file with later entries after it: the
        // file is cut back to where this append began.
        if (nStart >= 0 && ::ftruncate(fd, nStart) != 0)
        {
            // the write error is the one reported
        }
    }
    if (::close(fd) != 0 && nErr == 0)
        nErr = errno;
    if (nErr != 0)
        Throw(sjisPath, nErr);
}

void EmptyPrivateFile(std::string_view sjisPath)
{
    const int fd = OpenPrivateFile(sjisPath, O_TRUNC);
    if (::close(fd) != 0)
        Throw(sjisPath, errno);
}

std::string ShownPath(std::string_view sjisPath)
{
    return std::string(sjisPath);
}
