// TempFolder.h - a fresh folder for one test, removed afterwards; its path is CP932 text ending in
// "/". Files in it are written and read through the program's own file layer, so CP932 names
// reach the disk as UTF-8 exactly as the program writes them.
#pragma once
#include "app/FileSystem.h"

#include <cstdlib>
#include <filesystem>
#include <string>

// The bytes of a file; empty when it is missing, empty or a folder.
inline std::string ReadBytes(const std::string& strPath)
{
    return GetFileSizeOrZero(strPath) > 0 ? ReadWholeFile(strPath, 1u << 30) : std::string();
}

// Creates or replaces the file with exactly these bytes.
inline void WriteBytes(const std::string& strPath, const std::string& strBytes)
{
    WriteFileReplacing(strPath, strBytes.data(), strBytes.size());
}

class CTempFolder
{
  public:
    CTempFolder()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tarvell-XXXXXX").string();
        m_path = ::mkdtemp(tmpl.data());
    }
    ~CTempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // The folder, ending in "/"; temp paths are ASCII, so the same bytes in CP932.
    std::string Dir() const { return m_path.string() + "/"; }
    std::string Path(const std::string& strName) const { return Dir() + strName; }

    // Writes a file of the folder and returns its path.
    std::string Write(const std::string& strName, const std::string& strBytes) const
    {
        WriteBytes(Path(strName), strBytes);
        return Path(strName);
    }
    std::string Read(const std::string& strName) const { return ReadBytes(Path(strName)); }

  private:
    std::filesystem::path m_path;
};
