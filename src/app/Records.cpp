// Records.cpp - the record files and the sender file's scramble key.
#include "app/Records.h"

#include "app/FileSystem.h"

#include <cstring>

namespace
{
// The key's source text. It must never change once released: a sender file written under another
// constant still loads, but its texts come out as garbage.
constexpr const char* SCRAMBLE_DIGITS = "7C3A91E05BD24F68A1C7390E6D5B82F4";

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads exactly sizeof(record) bytes into the record.
template <class Record> void ReadRecord(const std::string& strPath, Record& record)
{
    CFileReader file(strPath);
    Record loaded;
    if (file.Read(&loaded, sizeof(loaded)) != sizeof(loaded))
        throw CFileException(CFileException::endOfFile, strPath);
    record = loaded;
}

// A record file of the right size but foreign content must not leave a text without its NUL;
// a field that has one keeps every byte, those after the NUL included.
template <std::size_t N> void Terminate(char (&szField)[N])
{
    if (std::memchr(szField, '\0', N) == nullptr)
        szField[N - 1] = '\0';
}

RecordLoad SizeCheck(const std::string& strPath, std::int64_t nExpected)
{
    const std::int64_t nSize = GetFileSizeOrZero(strPath);
    if (nSize == 0)
        return RecordLoad::Missing;
    return nSize == nExpected ? RecordLoad::Loaded : RecordLoad::WrongSize;
}
} // namespace

ScrambleKey MakeScrambleKey()
{
    ScrambleKey key;
    for (int i = 0; i < 16; ++i)
    {
        const int nHigh = DigitValue(SCRAMBLE_DIGITS[std::size_t{2} * i]);
        if (nHigh < 0)
            break;
        const int nLow = DigitValue(SCRAMBLE_DIGITS[2 * i + 1]);
        if (nLow < 0)
            break;
        const int nShiftedHigh = ((nHigh - i) % 16 + 16) % 16;
        const int nShiftedLow = ((nLow - i) % 16 + 16) % 16;
        key.bytes[i] = static_cast<unsigned char>(nShiftedHigh * 16 + nShiftedLow);
    }
    return key;
}

void ScrambleBuffer(void* pBuffer, std::size_t n)
{
    const ScrambleKey key = MakeScrambleKey();
    unsigned char* p = static_cast<unsigned char*>(pBuffer);
    for (std::size_t j = 0; j < n; ++j)
        p[j] ^= key.bytes[j % 16];
}

RecordLoad LoadCfgFile(const std::string& strPath, CfgData& cfg)
{
    const RecordLoad load = SizeCheck(strPath, sizeof(CfgData));
    if (load != RecordLoad::Loaded)
        return load;
    ReadRecord(strPath, cfg);
    Terminate(cfg.szEditorPath);
    Terminate(cfg.szTextFileDir);
    Terminate(cfg.szBinFileDir);
    return load;
}

RecordLoad LoadSenderFile(const std::string& strPath, SenderInf& sender)
{
    const RecordLoad load = SizeCheck(strPath, sizeof(SenderInf));
    if (load != RecordLoad::Loaded)
        return load;
    ReadRecord(strPath, sender);
    ScrambleBuffer(&sender, sizeof(sender));
    Terminate(sender.szName);
    Terminate(sender.szMailAddress);
    Terminate(sender.szSmtpServer);
    Terminate(sender.szPop3Server);
    Terminate(sender.szLoginName);
    Terminate(sender.szPassword);
    return load;
}

void SaveCfgFile(const std::string& strPath, const CfgData& cfg)
{
    WriteFileReplacing(strPath, &cfg, sizeof(cfg));
}

void SaveSenderFile(const std::string& strPath, const SenderInf& sender)
{
    // Scrambles a copy: the record in memory stays usable should the close be abandoned.
    SenderInf scrambled = sender;
    ScrambleBuffer(&scrambled, sizeof(scrambled));
    WriteFileReplacing(strPath, &scrambled, sizeof(scrambled), 0600);
}
