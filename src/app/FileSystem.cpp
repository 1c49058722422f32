// FileSystem.cpp - the parts of the file layer that need no system call of their own.
#include "app/FileSystem.h"

#include "app/TextCodec.h"

#include <cerrno>

std::string PathInFolder(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    path += name;
    if (LastFolderSeparator(name) != std::string_view::npos)
        throw CFileException(CFileException::badPath, path, EINVAL);
    if (path.size() > MAX_PATH_TEXT)
        throw CFileException(CFileException::badPath, path, ENAMETOOLONG);
    return path;
}

CFileReader::~CFileReader()
{
    if (m_pFile != nullptr)
        std::fclose(m_pFile);
}

std::size_t CFileReader::Read(void* pBuffer, std::size_t nBytes)
{
    const std::size_t n = std::fread(pBuffer, 1, nBytes, m_pFile);
    if (n < nBytes && std::ferror(m_pFile))
    {
        const int nErr = errno != 0 ? errno : EIO;
        throw CFileException(CFileException::CauseFromErrno(nErr), m_strPath, nErr);
    }
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

std::string FolderOfPath(std::string_view sjisPath)
{
    const std::size_t nSlash = LastFolderSeparator(sjisPath);
    return nSlash == std::string_view::npos ? std::string()
                                            : std::string(sjisPath.substr(0, nSlash + 1));
}

std::string ToOsPath(std::string_view sjisPath)
{
    std::string os;
    if (!SjisToUtf8(sjisPath, os) || os.empty())
        throw CFileException(CFileException::badPath, std::string(sjisPath), EILSEQ);
    return os;
}
