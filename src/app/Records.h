// Records.h - the fixed-size records kept in files and passed between the parts of the program:
// the settings record, the sender record and the request of one send attempt. Every text field
// holds CP932 text ended by a NUL; the longest text is one byte shorter than its field.
#pragma once
#include "app/AppFiles.h" // the record files' names

#include <cstddef>
#include <cstdint>
#include <string>

static_assert(sizeof(std::int32_t) == 4);
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the record files are little-endian images");

// Settings, stored plain in Tarvell.cfg.
struct CfgData
{
    std::int32_t nWindowLeft = 64;
    std::int32_t nWindowTop = 0;
    char szEditorPath[256] = {};
    char szTextFileDir[256] = {};
    char szBinFileDir[256] = {};
};
static_assert(sizeof(CfgData) == 776);
static_assert(offsetof(CfgData, szEditorPath) == 8);
static_assert(offsetof(CfgData, szTextFileDir) == 264);
static_assert(offsetof(CfgData, szBinFileDir) == 520);

// The sender, stored scrambled in SenderInf.tvl.
struct SenderInf
{
    char szName[128] = {};
    char szMailAddress[256] = {};
    char szSmtpServer[128] = {};
    char szPop3Server[128] = {};
    char szLoginName[128] = {};
    char szPassword[128] = {};
};
static_assert(sizeof(SenderInf) == 896);
static_assert(offsetof(SenderInf, szMailAddress) == 128);
static_assert(offsetof(SenderInf, szSmtpServer) == 384);
static_assert(offsetof(SenderInf, szPop3Server) == 512);
static_assert(offsetof(SenderInf, szLoginName) == 640);
static_assert(offsetof(SenderInf, szPassword) == 768);

// The request of one send attempt, built anew for every attempt.
struct SendRequest
{
    char szName[128] = {};     // recipient name
    char szAddress[256] = {};  // recipient address
    char szTitle[256] = {};    // subject
    char szTextFile[256] = {}; // body file path
    char szBinFile[256] = {};  // attachment path; empty for a plain mail
};

// The 16-byte key of the sender file, derived from the program's constant.
struct ScrambleKey
{
    unsigned char bytes[16] = {};
};
ScrambleKey MakeScrambleKey();

// XORs buf[0..n) with the key, key position j mod 16: the same call scrambles and unscrambles.
void ScrambleBuffer(void* pBuffer, std::size_t n);

// The two record files. A file is read only when its size is exactly the record's; a file of the
// right size that cannot be read raises CFileException. Texts without a NUL get one in their last
// byte, so a foreign file can never make a text run past its field.
enum class RecordLoad
{
    Loaded,
    Missing,   // no file, an empty file, or one that cannot be opened: the record is unchanged
    WrongSize, // a file of another size: the record is unchanged
};
RecordLoad LoadCfgFile(const std::string& strPath, CfgData& cfg);
RecordLoad LoadSenderFile(const std::string& strPath, SenderInf& sender);

// Replace the file through a temporary file renamed over it; SenderInf.tvl is written scrambled and
// readable by its owner only. A failure raises CFileException and leaves the old file.
void SaveCfgFile(const std::string& strPath, const CfgData& cfg);
void SaveSenderFile(const std::string& strPath, const SenderInf& sender);
