// TempFolder.h - a fresh folder for one test, removed afterwards; its path is CP932 text ending in "/".
#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>

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

private:
    std::filesystem::path m_path;
};
