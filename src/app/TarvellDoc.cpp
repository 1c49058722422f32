// TarvellDoc.cpp - the document: records, command line, program folders.
#include "app/TarvellDoc.h"

#include "app/AppFiles.h"
#include "app/FileSystem.h"
#include "app/Sjis.h"

#include <cstring>
#include <string_view>

namespace
{
bool Contains(const std::string& text, std::string_view switchText)
{
    return FindSjis(text, switchText) != std::string_view::npos;
}
// A record file's bytes, nullopt when there is none. A file that cannot be read counts as
// missing: its loader reports it, and the close then behaves as it always did.
std::optional<std::string> RecordFileBytes(const std::string& strPath)
{
    constexpr std::size_t kMaxRecordBytes = 1 << 16; // far above either record's size
    if (!PathEntryExists(strPath))
        return std::nullopt;
    try
    {
        return ReadWholeFile(strPath, kMaxRecordBytes);
    }
    catch (const CFileException&)
    {
        return std::nullopt;
    }
}

template <class Record> bool SameBytes(const Record& a, const Record& b)
{
    return std::memcmp(&a, &b, sizeof(Record)) == 0;
}
} // namespace

bool AsksForAutoSend(std::string_view cmdLine)
{
    return FindSjis(cmdLine, kAutoSendSwitch) != std::string_view::npos;
}

CTarvellDoc::CTarvellDoc(IPlatform& platform, const std::string& strAppDir,
                         const std::string& strCmdLine)
    : m_platform(platform), m_inUse(strAppDir)
{
    CopyToField(m_szAppDir, sizeof(m_szAppDir), strAppDir);
    m_cfg = CfgData();
    m_sender = SenderInf();
    // The bytes first: a change made between the two reads then counts as another program's.
    m_cfgFileAtStart = RecordFileBytes(AppPath(kCfgFileName));
    m_senderFileAtStart = RecordFileBytes(AppPath(kSenderFileName));
    LoadCfg(AppPath(kCfgFileName));
    LoadSenderInf(AppPath(kSenderFileName));
    m_cfgAtStart = m_cfg;
    m_senderAtStart = m_sender;
    m_strCmdLine = strCmdLine;
    ParseCommandLine();
    for (const char* pszFolder : {kKeepFolder, kLogFolder})
    {
        std::string strFolder = AppPath(pszFolder);
        strFolder.pop_back(); // the folder itself, without the '/' of the paths inside it
        // Owner-only: the folders hold the mails sent. A failure, or a link planted in the
        // folder's place, shows later, when a log or keep copy is written.
        if (!PathEntryExists(strFolder))
            CreateFolder(strFolder, 0700);
    }
}

std::string CTarvellDoc::AppPath(const char* pszName) const
{
    return std::string(m_szAppDir) + pszName;
}

void CTarvellDoc::SaveRecords()
{
    // After a write the file holds this run's record: a later save compares with that.
    if (MayWriteRecord(kSenderFileName, !SameBytes(m_sender, m_senderAtStart), m_senderFileAtStart))
    {
        SaveSenderInf(AppPath(kSenderFileName));
        m_senderAtStart = m_sender;
        m_senderFileAtStart = RecordFileBytes(AppPath(kSenderFileName));
    }
    if (MayWriteRecord(kCfgFileName, !SameBytes(m_cfg, m_cfgAtStart), m_cfgFileAtStart))
    {
        SaveCfg(AppPath(kCfgFileName));
        m_cfgAtStart = m_cfg;
        m_cfgFileAtStart = RecordFileBytes(AppPath(kCfgFileName));
    }
}

bool CTarvellDoc::MayWriteRecord(const char* pszName, bool bChangedHere,
                                 const std::optional<std::string>& atStart)
{
    if (RecordFileBytes(AppPath(pszName)) == atStart)
        return true;
    if (!bChangedHere)
        return false; // the other program's version is the only change: it stays
    const std::string strQuestion =
        std::string(pszName) +
        " は、この Tarvell の起動後にほかのプログラム (tarvell-config など) が書き換えました。\n"
        "ディスクの内容を残すと、この Tarvell で変えた設定は保存されません。";
    return m_platform.AskQuestion(strQuestion,
                                  {"ディスクの内容を残す", "この Tarvell の設定で上書き"}) == 1;
}

void CTarvellDoc::BeginStartMode()
{
    if (m_nStartMode > START_NONE && m_nStartMode < START_RUNNING)
        m_nStartMode += START_RUNNING;
}

void CTarvellDoc::EndStartMode(StartMode mode)
{
    if (m_nStartMode == START_RUNNING + mode)
        m_nStartMode = START_NONE;
}

void CTarvellDoc::BeginAutomaticSend()
{
    m_autoSend = AutoSendState::Running;
}

void CTarvellDoc::EndAutomaticSend()
{
    if (m_autoSend == AutoSendState::Running)
        m_autoSend = AutoSendState::Off;
}

void CTarvellDoc::ClearQuit()
{
    m_bQuit = 0;
}

void CTarvellDoc::StoreSender(const SenderInf& sender)
{
    m_sender = sender;
}

void CTarvellDoc::StoreOptions(std::string_view editorPath, std::string_view textFileDir,
                               std::string_view binFileDir)
{
    SetField(m_cfg.szEditorPath, editorPath);
    SetField(m_cfg.szTextFileDir, textFileDir);
    SetField(m_cfg.szBinFileDir, binFileDir);
}

void CTarvellDoc::StoreWindowPosition(std::int32_t nLeft, std::int32_t nTop)
{
    m_cfg.nWindowLeft = nLeft;
    m_cfg.nWindowTop = nTop;
}

void CTarvellDoc::ParseCommandLine()
{
    m_nStartMode = START_NONE;
    m_autoSend = AutoSendState::Off;
    m_bQuit = 0;
    m_bResend = 0;
    m_szSendInfFile[0] = '\0';
    if (m_strCmdLine.empty())
        return;

    // Tested in this fixed order: of several switches, the one latest here wins.
    static constexpr struct
    {
        const char* pszSwitch;
        StartMode mode;
    } SWITCHES[] = {
        {"/maddropen", START_MAIN_BOOK_EDIT},
        {"/gaddropen", START_GROUP_BOOK_EDIT},
        {"/maddrselect", START_MAIN_BOOK_SELECT},
        {"/gaddrselect", START_GROUP_BOOK_SELECT},
        {"/option", START_OPTIONS},
        {"/sender", START_SENDER},
    };
    for (const auto& entry : SWITCHES)
    {
        if (Contains(m_strCmdLine, entry.pszSwitch))
            m_nStartMode = entry.mode;
    }
    if (Contains(m_strCmdLine, "/quit"))
        m_bQuit = 1;
    if (Contains(m_strCmdLine, "/resend"))
        m_bResend = 1;

    constexpr std::string_view SENDINF = "/sendinf=";
    const std::size_t nKey = FindSjis(m_strCmdLine, SENDINF);
    if (nKey != std::string_view::npos)
    {
        const std::string_view line(m_strCmdLine);
        const std::size_t nStart = nKey + SENDINF.size();
        const std::size_t nSlash = FindSjis(line, "/", nStart);
        // The value ends at the next "/", unless that "/" stands right after the "=".
        std::string_view value = (nSlash != std::string_view::npos && nSlash > nStart)
                                     ? line.substr(nStart, nSlash - nStart)
                                     : line.substr(nStart);
        value = TrimAsciiSpace(value);
        const bool bAbsolute = (!value.empty() && value[0] == '/') ||
                               (value.size() >= 2 && (value[1] == '\\' || value[1] == ':'));
        std::string strPath =
            bAbsolute ? std::string(value) : std::string(m_szAppDir) + std::string(value);
        if (!CopyToField(m_szSendInfFile, sizeof(m_szSendInfFile), strPath))
        {
            m_platform.ShowMessage(
                "送信情報ファイルのパスが長すぎます（259バイトまで）。このファイルは使われません。",
                MsgButtons::Ok);
        }
    }

    if (m_szSendInfFile[0] != '\0' && PathExists(m_szSendInfFile) && !IsFolder(m_szSendInfFile) &&
        AsksForAutoSend(m_strCmdLine))
    {
        m_autoSend = AutoSendState::Requested;
    }
}

void CTarvellDoc::LoadCfg(const std::string& strPath)
{
    if (LoadCfgFile(strPath, m_cfg) == RecordLoad::WrongSize)
        m_platform.ShowMessage("環境設定ファイルのバージョンが違います。", MsgButtons::Ok);
}

void CTarvellDoc::SaveCfg(const std::string& strPath)
{
    SaveCfgFile(strPath, m_cfg);
}

void CTarvellDoc::LoadSenderInf(const std::string& strPath)
{
    LoadSenderFile(strPath, m_sender); // a missing or wrong-sized file: silently the empty record
}

void CTarvellDoc::SaveSenderInf(const std::string& strPath)
{
    SaveSenderFile(strPath, m_sender);
}
