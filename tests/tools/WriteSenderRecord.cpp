// WriteSenderRecord.cpp - writes SenderInf.tvl into a program folder from the command line, as
// the sender settings dialog would, for demonstrations and scripted set-ups.
//
//   tarvell_write_sender FOLDER/ NAME ADDRESS SMTP POP3 LOGIN PASSWORD     (UTF-8 arguments)
#include "app/Sjis.h"
#include "app/TarvellDoc.h"
#include "app/TextCodec.h"

#include <cstdio>

namespace
{
// Answers every question with its first button and reports on standard error.
class CConsolePlatform : public IPlatform
{
  public:
    MsgResult MessageBox(const std::string& strText, MsgButtons buttons) override
    {
        std::fprintf(stderr, "tarvell_write_sender: %s\n", SjisToUtf8Lossy(strText).c_str());
        return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
    }
    FileDialogResult OpenFileDialog(const FileDialogRequest&) override { return {}; }
    int ShellOpen(const std::string&, const std::string&) override { return 0; }
    int RunModal(IModalDialog&) override { return IDCANCEL; }
    bool StartTimer(int, int, std::function<void(int)>) override { return false; }
    void StopTimer(int) override {}
};

bool SetFromUtf8(char* pszField, std::size_t nSize, const char* pszUtf8)
{
    std::string strSjis;
    return Utf8ToSjis(pszUtf8, strSjis) && CopyToField(pszField, nSize, strSjis);
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 8)
    {
        std::fprintf(stderr, "usage: %s FOLDER/ NAME ADDRESS SMTP POP3 LOGIN PASSWORD\n", argv[0]);
        return 2;
    }
    try
    {
        CConsolePlatform platform;
        std::string strFolder;
        if (!Utf8ToSjis(argv[1], strFolder))
            return 2;
        CTarvellDoc doc(platform, strFolder, "");
        SenderInf& sender = doc.m_sender;
        const bool bOk = SetFromUtf8(sender.szName, sizeof(sender.szName), argv[2]) &&
                         SetFromUtf8(sender.szMailAddress, sizeof(sender.szMailAddress), argv[3]) &&
                         SetFromUtf8(sender.szSmtpServer, sizeof(sender.szSmtpServer), argv[4]) &&
                         SetFromUtf8(sender.szPop3Server, sizeof(sender.szPop3Server), argv[5]) &&
                         SetFromUtf8(sender.szLoginName, sizeof(sender.szLoginName), argv[6]) &&
                         SetFromUtf8(sender.szPassword, sizeof(sender.szPassword), argv[7]);
        if (!bOk)
        {
            std::fprintf(stderr, "tarvell_write_sender: a value is too long or not Shift_JIS\n");
            return 2;
        }
        doc.SaveRecords();
    }
    catch (const CFileException& e)
    {
        std::fprintf(stderr, "tarvell_write_sender: %s\n",
                     SjisToUtf8Lossy(FileErrorText(e)).c_str());
        return 1;
    }
    return 0;
}
