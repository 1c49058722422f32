// FileError.cpp - the file error and its message texts.
#include "app/FileError.h"

#include "app/FileSystem.h"

#include <cerrno>

CFileException::CFileException(Cause cause, std::string strFileName, int nOsError)
    : std::runtime_error("file error"), m_cause(cause), m_strFileName(std::move(strFileName)),
      m_nOsError(nOsError)
{
}

CFileException::Cause CFileException::CauseFromErrno(int nOsError)
{
    switch (nOsError)
    {
    case ENOENT:
        return fileNotFound;
    case ENAMETOOLONG:
    case ENOTDIR:
    case EILSEQ:
    case EINVAL:
        return badPath;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EEXIST:
        return accessDenied;
    case ENOSPC:
#ifdef EDQUOT // not in Windows' C runtime
    case EDQUOT:
#endif
    case EFBIG:
        return diskFull;
    case EMFILE:
    case ENFILE:
        return tooManyOpenFiles;
    case ELOOP: // a link where none is followed
    case ENXIO: // a FIFO without a reader, a device without its hardware
        return notRegularFile;
    default:
        return genericError;
    }
}

std::string FileErrorText(const CFileException& e)
{
    const std::string name = ShownPath(e.m_strFileName);
    switch (e.m_cause)
    {
    case CFileException::fileNotFound:
        return name + " が見つかりません。";
    case CFileException::badPath:
        return name + " は無効なﾌｧｲﾙ名です。";
    case CFileException::accessDenied:
        return name + " へのｱｸｾｽは拒否されました。";
    case CFileException::diskFull:
        return name + " へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。";
    case CFileException::endOfFile:
        return name + " へのｱｸｾｽ中にﾌｧｲﾙの終わりを越えて読み込もうとしました。";
    case CFileException::tooManyOpenFiles:
        return name + " を開けません。開いているﾌｧｲﾙが多すぎます。";
    case CFileException::notRegularFile:
        return name + " は通常のﾌｧｲﾙやﾌｫﾙﾀﾞではない(ﾘﾝｸ、FIFO、ﾃﾞﾊﾞｲｽ)ため使えません。";
    case CFileException::genericError:
        break;
    }
    return name + " へのｱｸｾｽ中に予期しないｴﾗｰが発生しました。";
}
