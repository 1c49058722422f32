// FileSystem.h - the program's one file layer. Paths are CP932 text; they reach the operating
// system as UTF-8 on Linux and as UTF-16 on Windows. Every failure to open, read or write raises
// CFileException. On Windows, '\\' separates folders as '/' does, and files are always binary.
#pragma once
#include "app/FileError.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// The longest path the program builds (its fixed path buffers hold 255 bytes of text).
constexpr std::size_t MAX_PATH_TEXT = 255;

// The path as UTF-8 text (what Linux takes; on Windows, for the APIs that take UTF-8); throws
// CFileException(badPath) when the text cannot be converted.
std::string ToOsPath(std::string_view sjisPath);

// The path as the user reads it in a message: the platform's own separators (on Windows the
// program joins "log/..." to a folder written with '\\'; 0x2F is never a CP932 trail byte).
std::string ShownPath(std::string_view sjisPath);

// The size in bytes of an existing regular file, or 0 for a missing path, a folder or an empty
// file. Only the file's attributes are asked: a file without read permission has its size.
std::int64_t GetFileSizeOrZero(std::string_view sjisPath);

// Attribute queries: false also when the path cannot be converted.
bool PathExists(std::string_view sjisPath);
bool IsFolder(std::string_view sjisPath);
// Whether anything stands at the path itself, a dangling link included (links not followed).
bool PathEntryExists(std::string_view sjisPath);
// Whether the path leads to a regular file (not a folder, FIFO, device or dangling link).
bool IsRegularFile(std::string_view sjisPath);

// The names (CP932) of the entries of a folder, sorted; names that are not CP932 text are left
// out. Empty for a missing folder or one that cannot be read.
std::vector<std::string> ListFolder(std::string_view sjisFolder);

// Creates one folder with the POSIX mode nMode (narrowed by the umask; on Windows the folder
// takes its parent's access rights); false on failure.
bool CreateFolder(std::string_view sjisPath, unsigned nMode = 0755);

// The position of the last folder separator of the path ('/', and on Windows also a '\\' that is
// not the second byte of a double-byte character); npos when there is none.
std::size_t LastFolderSeparator(std::string_view sjisPath);
// The folder part of the path, its last separator included; empty when it names no folder.
std::string FolderOfPath(std::string_view sjisPath);
// Whether the single-byte character may stand in a file name: not '/', and on Windows none of
// \\ : * ? " < > | either.
bool IsFileNameCharacter(char c);
// Whether the path starts at a root ("/..."; on Windows also "\\...", "C:\\..." or "C:/...").
bool IsAbsolutePath(std::string_view sjisPath);

// folder (ending in "/") followed directly by name. The file error is raised when name holds a
// folder separator (the file could land outside its folder) or the result is longer than
// MAX_PATH_TEXT bytes.
std::string PathInFolder(std::string_view folder, std::string_view name);

// A file opened for binary reading; closed by its destructor. Only a regular file is opened: a
// FIFO or device raises the file error (notRegularFile) instead of holding the program in open,
// a folder raises accessDenied.
class CFileReader
{
  public:
    explicit CFileReader(std::string_view sjisPath); // throws CFileException
    ~CFileReader();
    CFileReader(const CFileReader&) = delete;
    CFileReader& operator=(const CFileReader&) = delete;

    std::int64_t Size() const; // throws CFileException
    // Reads up to nBytes; returns the count read (0 at the end); throws on a read error.
    std::size_t Read(void* pBuffer, std::size_t nBytes);
    const std::string& Path() const { return m_strPath; }

  private:
    std::string m_strPath;
    std::FILE* m_pFile;
};

// Reads a whole file of at most nMaxBytes bytes.
std::string ReadWholeFile(std::string_view sjisPath, std::size_t nMaxBytes);

// Replaces the file with exactly these bytes: written to a temporary file in the same folder and
// renamed over the old one, so a failure never leaves a truncated file. The new file gets the
// POSIX mode nMode as narrowed by the umask (on Windows, its folder's access rights). An existing
// file that cannot be opened for writing raises the file error and is left as it is.
void WriteFileReplacing(std::string_view sjisPath, const void* pData, std::size_t nBytes,
                        unsigned nMode = 0644);

// Opens or creates the file for binary appending and writes the bytes at its end in one write.
// A write that fails part-way is cut back off before the file error is raised. These files hold
// mail: neither the file nor the folder it is in is reached through a link (a planted link raises
// notRegularFile, whatever it points at), only a regular file is appended to, and a new file is
// created owner-only (0600, narrowed by the umask).
void AppendToFile(std::string_view sjisPath, const void* pData, std::size_t nBytes);
// The same file emptied, or created empty, under the same rules.
void EmptyPrivateFile(std::string_view sjisPath);
