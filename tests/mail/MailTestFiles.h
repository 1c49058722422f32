// MailTestFiles.h - files that a mail test sends, written into the test's temporary folder.
#pragma once
#include "app/FileSystem.h"
#include "support/TempFolder.h"

#include <string>

// Writes the file (name in CP932) into the folder and returns its CP932 path.
inline std::string WriteTestFile(const CTempFolder& folder, const std::string& strName,
                                 const std::string& strBytes)
{
    const std::string strPath = folder.Path(strName);
    WriteFileReplacing(strPath, strBytes.data(), strBytes.size());
    return strPath;
}
