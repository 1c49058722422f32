// TarvellDoc.h - the one document: the state that the main window, the send form and the dialogs
// share for the whole run, the two record files, and the start-up requests of the command line.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"

#include <cstdint>
#include <string>

// Start modes: the command the form runs once the window is up. While that command runs the mode
// holds 100 plus the value; the command sets it back to 0 when it ends.
enum StartMode : std::int32_t
{
    START_NONE = 0,
    START_MAIN_BOOK_EDIT = 1,    // /maddropen
    START_GROUP_BOOK_EDIT = 2,   // /gaddropen
    START_MAIN_BOOK_SELECT = 3,  // /maddrselect
    START_GROUP_BOOK_SELECT = 4, // /gaddrselect
    START_OPTIONS = 11,          // /option
    START_SENDER = 12,           // /sender
    START_RUNNING = 100,
};

class CTarvellDoc
{
  public:
    // Builds the document in the program folder strAppDir (CP932, ending in "/", at most 255
    // bytes): defaults, Tarvell.cfg, SenderInf.tvl, the command line, the "keep" and "log"
    // folders. A file error while reading a record propagates.
    CTarvellDoc(IPlatform& platform, const std::string& strAppDir, const std::string& strCmdLine);

    // Writes SenderInf.tvl, then Tarvell.cfg: the document's last step, run on the close path.
    // A file error propagates, and Tarvell.cfg is then not written.
    void SaveRecords();

    void ParseCommandLine();
    void LoadCfg(const std::string& strPath);
    void SaveCfg(const std::string& strPath);
    void LoadSenderInf(const std::string& strPath);
    void SaveSenderInf(const std::string& strPath);

    // Ends the start mode's command: if the mode running now is this one (100 plus its value),
    // no start mode is left. Anything else, a mode still waiting or another one running, stays.
    void EndStartMode(StartMode mode);

    // Paths of the files and folders in the program folder.
    std::string AppPath(const char* pszName) const;

    std::int32_t m_nStartMode = START_NONE;
    CfgData m_cfg;
    char m_szSendInfFile[260] = {};
    std::string m_strCmdLine;
    std::int32_t m_nAutoSend = 0; // 0 off, 1 requested by /sendon, 2 running
    std::int32_t m_bQuit = 0;
    SenderInf m_sender;
    char m_szAppDir[256] = {};

    IPlatform& m_platform;
};
