// FileError.h - the file error: a file that could not be opened, read or written.
#pragma once
#include <stdexcept>
#include <string>

class CFileException : public std::runtime_error
{
  public:
    enum Cause
    {
        genericError,
        fileNotFound,
        badPath,
        accessDenied,
        diskFull,
        endOfFile,
        tooManyOpenFiles,
        notRegularFile, // a link, FIFO or device where a file or folder was expected
    };

    // strFileName is CP932; nOsError is the errno behind the failure (0 when there is none).
    CFileException(Cause cause, std::string strFileName, int nOsError = 0);

    // Maps an errno onto a cause.
    static Cause CauseFromErrno(int nOsError);

    Cause m_cause;
    std::string m_strFileName;
    int m_nOsError;
};

// The message shown for a file error, in CP932, with the file name in place, such as
// "/home/me/a.txt へのｱｸｾｽは拒否されました。".
std::string FileErrorText(const CFileException& e);
