// TempFolder.h - a fresh folder for one test, removed afterwards; its path is CP932 text ending in
// "/". Files in it are written and read through the program's own file layer, so CP932 names
// reach the disk as UTF-8 exactly as the program writes them.
#pragma once
#include "app/FileSystem.h"

#include <filesystem>
#include <random>
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
        // mkdtemp's way, which Windows lacks: a random name, taken only if it is new.
        std::random_device random;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        do
            m_path = base / ("tarvell-" + std::to_string(random() % 1000000000u));
        while (!std::filesystem::create_directory(m_path));
    }
    ~CTempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // The folder, ending in the system's separator ("/", on Windows "\\"); temp paths are ASCII,
    // so the same bytes in CP932.
    std::string Dir() const
    {
        return m_path.string() + static_cast<char>(std::filesystem::path::preferred_separator);
    }
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
