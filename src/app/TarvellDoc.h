// TarvellDoc.h - the one document: the state that the main window, the send form and the dialogs
// share for the whole run, the two record files, and the start-up requests of the command line.
#pragma once
#include "app/FolderLock.h"
#include "app/Platform.h"
#include "app/Records.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// The automatic send of "/sendon": requested at start-up, running while its Send command runs,
// off before, after, or when never asked for.
enum class AutoSendState
{
    Off,
    Requested,
    Running,
};

// The command-line switch that asks for the automatic send.
constexpr const char* kAutoSendSwitch = "/sendon";

// Whether a command line (CP932) asks for the automatic send: it holds kAutoSendSwitch.
bool AsksForAutoSend(std::string_view cmdLine);

class CTarvellDoc
{
  public:
    // Builds the document in the program folder strAppDir (CP932, ending in "/", at most 255
    // bytes): defaults, Tarvell.cfg, SenderInf.tvl, the command line, the "keep" and "log"
    // folders. A file error while reading a record propagates.
    CTarvellDoc(IPlatform& platform, const std::string& strAppDir, const std::string& strCmdLine);

    // Writes SenderInf.tvl, then Tarvell.cfg: the document's last step, run on the close path.
    // A file error propagates, and Tarvell.cfg is then not written. A record file that another
    // program (tarvell-config) rewrote since the start is not overwritten silently: when this run
    // left that record as it was read, the disk's version stays; when both changed, the user is
    // asked, and the first answer (the one a run without a display takes) keeps the disk's.
    void SaveRecords();

    void ParseCommandLine();
    void LoadCfg(const std::string& strPath);
    void SaveCfg(const std::string& strPath);
    void LoadSenderInf(const std::string& strPath);
    void SaveSenderInf(const std::string& strPath);

    // Starts the waiting start mode's command: the mode then holds 100 plus its value. No mode
    // waiting (none, or one already running) leaves it as it is.
    void BeginStartMode();
    // Ends the start mode's command: if the mode running now is this one (100 plus its value),
    // no start mode is left. Anything else, a mode still waiting or another one running, stays.
    void EndStartMode(StartMode mode);

    // The automatic send: requested by /sendon, then running, then off. Ending it while it is
    // not running changes nothing.
    void BeginAutomaticSend();
    void EndAutomaticSend();
    // The /quit request has been acted on.
    void ClearQuit();

    std::int32_t GetStartMode() const { return m_nStartMode; }
    AutoSendState GetAutoSend() const { return m_autoSend; }
    std::int32_t GetQuit() const { return m_bQuit; }
    // "/resend": the automatic send goes only to the members a group send left without the mail.
    std::int32_t GetResend() const { return m_bResend; }

    // Records what the sender and option dialogs confirmed, and where the window stood. Texts
    // are cut to their fields.
    void StoreSender(const SenderInf& sender);
    void StoreOptions(std::string_view editorPath, std::string_view textFileDir,
                      std::string_view binFileDir);
    void StoreWindowPosition(std::int32_t nLeft, std::int32_t nTop);

    // Let a test put the document into a mode the command line cannot give.
    void SetStartModeForTest(std::int32_t nStartMode) { m_nStartMode = nStartMode; }
    void SetAutoSendForTest(AutoSendState state) { m_autoSend = state; }

    // Paths of the files and folders in the program folder.
    std::string AppPath(const char* pszName) const;

    CfgData m_cfg;
    char m_szSendInfFile[260] = {};
    std::string m_strCmdLine;
    SenderInf m_sender;
    char m_szAppDir[256] = {};

    IPlatform& m_platform;

  private:
    // Whether the record file may be written now: its bytes are as they were at the start, or
    // bChangedHere and the user chose this run's version.
    bool MayWriteRecord(const char* pszName, bool bChangedHere,
                        const std::optional<std::string>& atStart);

    // The record files' bytes as they stood before they were read, or after this run wrote them
    // (nullopt: no file), and the records at that moment, to tell at the close who changed what.
    std::optional<std::string> m_cfgFileAtStart, m_senderFileAtStart;
    CfgData m_cfgAtStart;
    SenderInf m_senderAtStart;
    CFolderInUse m_inUse; // tells tarvell-config that this folder's records are held here

    std::int32_t m_nStartMode = START_NONE;
    AutoSendState m_autoSend = AutoSendState::Off;
    std::int32_t m_bQuit = 0;
    std::int32_t m_bResend = 0;
};
