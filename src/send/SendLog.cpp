// SendLog.cpp - the traces of every send attempt: an entry in the monthly send log and a keep
// copy of the composed body. Both files are appended to in binary mode, in one write.
#include "send/SendForm.h"

#include "app/FileSystem.h"
#include "app/LocalTime.h"
#include "app/Sjis.h"

#include <cstdio>

void CSendForm::WriteSendLog(AttemptResult result, std::time_t timeSend, const SendRequest& request)
{
    // Each mark ends in two blanks; the full-width spaces line the five labels up.
    std::string strEntry = result == AttemptResult::Sent ? "☆ [送信成功]  " : "★ [送信失敗]  ";
    strEntry += FormatLocalTime(timeSend, "%Y年%m月%d日 %H時%M分%S秒\r\n");
    strEntry += "　　　宛先名: " + FieldText(request.szName) + "\r\n";
    strEntry += "宛先アドレス: " + FieldText(request.szAddress) + "\r\n";
    strEntry += "　　タイトル: " + FieldText(request.szTitle) + "\r\n";
    strEntry += "本文ファイル: " + FieldText(request.szTextFile) + "\r\n";
    strEntry += "添付ファイル: " + FieldText(request.szBinFile) + "\r\n\r\n";

    const std::string strFolder = std::string(m_doc.m_szAppDir) + "log/";
    const std::string strPath =
        PathInFolder(strFolder, FormatLocalTime(timeSend, "Tarvell_%Y%m.txt"));
    AppendToFile(strPath, strEntry.data(), strEntry.size());
}

void CSendForm::WriteKeepCopy(int nSeq, std::time_t timeSend, const std::string& strBody,
                              const SendRequest& request)
{
    char szSeq[16];
    std::snprintf(szSeq, sizeof(szSeq), "(%02d)_", nSeq);
    // The name goes in unchanged; PathInFolder refuses one holding "/" and a path over 255 bytes.
    const std::string strName =
        FormatLocalTime(timeSend, "%Y%m%d_%H%M%S") + szSeq + FieldText(request.szName) + ".txt";
    const std::string strFolder = std::string(m_doc.m_szAppDir) + "keep/";
    AppendToFile(PathInFolder(strFolder, strName), strBody.data(), strBody.size());
}
