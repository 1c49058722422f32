// SendLog.cpp - the traces of every send attempt: an entry in the monthly send log and a keep
// copy of the composed body. Both files are appended to in binary mode, in one write.
#include "send/SendLog.h"

#include "app/AppFiles.h"
#include "app/FileSystem.h"
#include "app/LocalTime.h"
#include "app/Sjis.h"
#include "app/TextCodec.h"

#include <cstdio>

void CSendLog::WriteSendLog(AttemptResult result, std::time_t timeSend, const SendRequest& request)
{
    // Each mark ends in two blanks; the full-width spaces line the five labels up.
    std::string strEntry = result == AttemptResult::Sent ? "☆ [送信成功]  " : "★ [送信失敗]  ";
    strEntry += FormatLocalTime(timeSend, "%Y年%m月%d日 %H時%M分%S秒\r\n");
    strEntry += "　　　宛先名: " + FieldText(request.szName) + "\r\n";
    strEntry += "宛先アドレス: " + FieldText(request.szAddress) + "\r\n";
    strEntry += "　　タイトル: " + FieldText(request.szTitle) + "\r\n";
    strEntry += "本文ファイル: " + FieldText(request.szTextFile) + "\r\n";
    strEntry += "添付ファイル: " + FieldText(request.szBinFile) + "\r\n\r\n";

    const std::string strFolder = std::string(m_doc.m_szAppDir) + kLogFolder;
    const std::string strPath = PathInFolder(strFolder, FormatLocalTime(timeSend, kSendLogPattern));
    AppendToFile(strPath, strEntry.data(), strEntry.size());
}

namespace
{
// The longest file name the file systems take, in bytes of its UTF-8 form.
constexpr std::size_t kMaxFileName = 255;

// A member's name as the name part of a keep copy's file name: "/" (on Windows also the other
// characters no file name may hold), control characters and
// bytes that are not CP932 text become "_" (so the file stays in keep/ and its name can be
// written), and the name is cut on a character boundary where it would pass nMaxBytes bytes
// (CP932, the program's path limit) or nMaxUtf8 bytes (UTF-8, the file-name limit).
std::string SafeKeepName(std::string_view name, std::size_t nMaxBytes, std::size_t nMaxUtf8)
{
    std::string strOut;
    std::size_t nUtf8 = 0;
    std::string strUtf8;
    for (std::size_t i = 0; i < name.size();)
    {
        const auto c = static_cast<unsigned char>(name[i]);
        std::size_t nChar = 1;
        if (IsLeadByte(c) && i + 1 < name.size() &&
            IsTrailByte(static_cast<unsigned char>(name[i + 1])))
            nChar = 2;
        const bool bText = c >= 0x20 && c != 0x7F &&
                           (nChar == 2 || IsFileNameCharacter(static_cast<char>(c))) &&
                           SjisToUtf8(name.substr(i, nChar), strUtf8);
        // An unknown pair gives "_" for its lead byte; its second byte is looked at anew.
        if (!bText)
            nChar = 1;
        const std::size_t nUtf8Char = bText ? strUtf8.size() : 1;
        if (strOut.size() + nChar > nMaxBytes || nUtf8 + nUtf8Char > nMaxUtf8)
            break;
        if (bText)
            strOut.append(name.data() + i, nChar);
        else
            strOut.push_back('_');
        nUtf8 += nUtf8Char;
        i += nChar;
    }
    return strOut;
}
} // namespace

void CSendLog::WriteKeepCopy(int nSeq, std::time_t timeSend, const std::string& strBody,
                             const SendRequest& request)
{
    char szSeq[16];
    std::snprintf(szSeq, sizeof(szSeq), "(%02d)_", nSeq);
    // A member's name can never stop a group send: it is made safe and cut to fit. Only a program
    // folder too deep for any keep copy still raises the file error.
    const std::string strFolder = std::string(m_doc.m_szAppDir) + kKeepFolder;
    const std::string strStamp = FormatLocalTime(timeSend, "%Y%m%d_%H%M%S") + szSeq;
    const std::string_view extension = ".txt";
    const std::size_t nFixed = strFolder.size() + strStamp.size() + extension.size();
    const std::size_t nMaxBytes = nFixed < MAX_PATH_TEXT ? MAX_PATH_TEXT - nFixed : 0;
    std::string strName = strStamp;
    strName.append(SafeKeepName(FieldText(request.szName), nMaxBytes,
                                kMaxFileName - strStamp.size() - extension.size()));
    strName.append(extension);
    AppendToFile(PathInFolder(strFolder, strName), strBody.data(), strBody.size());
}
