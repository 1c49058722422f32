// MailTestFiles.h - a private temporary folder for the files a mail test sends.
#pragma once
#include "app/FileSystem.h"

#include <cstdlib>
#include <dirent.h>
#include <string>
#include <unistd.h>

class CTempFolder
{
public:
    CTempFolder()
    {
        char szTemplate[] = "/tmp/tarvell-mail-XXXXXX";
        m_strPath = ::mkdtemp(szTemplate);
        m_strPath += "/";
    }
    ~CTempFolder()
    {
        // The folder is flat: its files, then the folder.
        if (DIR* pDir = ::opendir(m_strPath.c_str()))
        {
            while (const dirent* pEntry = ::readdir(pDir))
                ::unlink((m_strPath + pEntry->d_name).c_str());
            ::closedir(pDir);
        }
        ::rmdir(m_strPath.c_str());
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // Writes the file (name in CP932) and returns its CP932 path.
    std::string Write(const std::string& strName, const std::string& strBytes) const
    {
        const std::string strPath = m_strPath + strName;
        WriteFileReplacing(strPath, strBytes.data(), strBytes.size());
        return strPath;
    }
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};
