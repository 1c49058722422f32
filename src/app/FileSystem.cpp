// FileSystem.cpp - the program's one file layer over POSIX calls.
#include "app/FileSystem.h"

#include "app/TextCodec.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
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

std::string ToOsPath(std::string_view sjisPath)
{
    std::string os;
    if (!SjisToUtf8(sjisPath, os) || os.empty())
        throw CFileException(CFileException::badPath, std::string(sjisPath), EILSEQ);
    return os;
}

std::int64_t GetFileSizeOrZero(std::string_view sjisPath)
{
    struct stat st
    {
    };
    if (!StatPath(sjisPath, st) || !S_ISREG(st.st_mode))
        return 0;
    const int fd = ::open(ToOsPath(sjisPath).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return 0;
    struct stat opened
    {
    };
    const bool bOk = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    ::close(fd);
    return bOk ? static_cast<std::int64_t>(opened.st_size) : 0;
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

bool CreateFolder(std::string_view sjisPath)
{
    std::string os;
    if (!SjisToUtf8(sjisPath, os) || os.empty())
        return false;
    return ::mkdir(os.c_str(), 0755) == 0;
}

std::string PathInFolder(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    path += name;
    if (name.find('/') != std::string_view::npos)
        throw CFileException(CFileException::badPath, path, EINVAL);
    if (path.size() > MAX_PATH_TEXT)
        throw CFileException(CFileException::badPath, path, ENAMETOOLONG);
    return path;
}

CFileReader::CFileReader(std::string_view sjisPath) : m_strPath(sjisPath), m_pFile(nullptr)
{
    const std::string os = ToOsPath(sjisPath);
    const int fd = ::open(os.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        Throw(sjisPath, errno);
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))
    {
        const int nErr = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        Throw(sjisPath, nErr);
    }
    m_pFile = ::fdopen(fd, "rb");
    if (m_pFile == nullptr)
    {
        const int nErr = errno;
        ::close(fd);
        Throw(sjisPath, nErr);
    }
}

CFileReader::~CFileReader()
{
    if (m_pFile != nullptr)
        std::fclose(m_pFile);
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

std::size_t CFileReader::Read(void* pBuffer, std::size_t nBytes)
{
    const std::size_t n = std::fread(pBuffer, 1, nBytes, m_pFile);
    if (n < nBytes && std::ferror(m_pFile))
        Throw(m_strPath, errno != 0 ? errno : EIO);
    return n;
}

std::string ReadWholeFile(std::string_view sjisPath, std::size_t nMaxBytes)
{
    CFileReader file(sjisPath);
    std::string data;
    char buf[65536];
    for (;;)
    {
        const std::size_t n = file.Read(buf, sizeof(buf));
        if (n == 0)
            break;
        if (data.size() + n > nMaxBytes)
            throw CFileException(CFileException::genericError, std::string(sjisPath), EFBIG);
        data.append(buf, n);
    }
    return data;
}

void WriteFileReplacing(std::string_view sjisPath, const void* pData, std::size_t nBytes,
                        mode_t mode)
{
    const std::string os = ToOsPath(sjisPath);
    std::string tmp = os + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        Throw(sjisPath, errno);
    int nErr = 0;
    if (::fchmod(fd, mode) != 0 || !WriteAll(fd, pData, nBytes) || ::fsync(fd) != 0)
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

void AppendToFile(std::string_view sjisPath, const void* pData, std::size_t nBytes)
{
    const std::string os = ToOsPath(sjisPath);
    const int fd = ::open(os.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        Throw(sjisPath, errno);
    int nErr = 0;
    if (!WriteAll(fd, pData, nBytes))
        nErr = errno;
    if (::close(fd) != 0 && nErr == 0)
        nErr = errno;
    if (nErr != 0)
        Throw(sjisPath, nErr);
}
