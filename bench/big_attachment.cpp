// big_attachment.cpp - one mail with a big attachment sent to the loopback sink, for
// big_attachment.sh. Two modes, run as two processes so the sender's memory is its own:
//   tarvell_bench_big_attachment serve        prints the sink's port; serves until stdin closes
//   tarvell_bench_big_attachment send PORT FILE
// "send" prints: attachment bytes, wall seconds, attachment MB/s, peak resident KB, send result.
#include "mail/MailSender.h"

#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "support/FakeMailServer.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace
{
class CQuietPlatform : public IPlatform
{
  public:
    MsgResult ShowMessage(const std::string& strText, MsgButtons) override
    {
        std::fprintf(stderr, "message: %s\n", strText.c_str());
        return MsgResult::Ok;
    }
    FileDialogResult OpenFileDialog(const FileDialogRequest&) override { return {}; }
    int ShellOpen(const std::string&, const std::string&) override { return 0; }
    int RunModal(IModalDialog&) override { return DLG_CANCEL; }
    bool StartTimer(int, int, std::function<void(int)>) override { return false; }
    void StopTimer(int) override {}
};

int Serve()
{
    CFakeMailServer server;
    server.SetSink(true);
    server.SetRepeat(true);
    server.AddConnection(CServerScript::Pop3Accepting());
    server.AddConnection(CServerScript::SmtpAccepting());
    std::printf("%d\n", server.Port());
    std::fflush(stdout);
    char c;
    while (::read(0, &c, 1) > 0)
    {
    }
    server.Stop();
    return 0;
}

double Seconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

int Send(const char* pszPort, const char* pszFile)
{
    const std::string strServer = std::string("127.0.0.1:") + pszPort;
    SenderInf sender;
    SetField(sender.szName, "山田太郎");
    SetField(sender.szMailAddress, "taro@example.jp");
    SetField(sender.szPop3Server, strServer);
    SetField(sender.szSmtpServer, strServer);
    SetField(sender.szLoginName, "taro");
    SetField(sender.szPassword, "secret");
    SendRequest request;
    SetField(request.szName, "鈴木花子");
    SetField(request.szAddress, "hanako@example.jp");
    SetField(request.szTitle, "大きな添付ファイル");
    const std::string strBody =
        std::string("/tmp/tarvell-bench-body-") + std::to_string(::getpid()) + ".txt";
    const std::string strText = "添付ファイルをお送りします。\r\n";
    WriteFileReplacing(strBody, strText.data(), strText.size());
    SetField(request.szTextFile, strBody);
    SetField(request.szBinFile, pszFile);

    CQuietPlatform platform;
    CMailSender mailSender(platform);
    const double tStart = Seconds();
    const int nResult = mailSender.SendMultipartMail(sender, request);
    const double tWall = Seconds() - tStart;
    ::unlink(strBody.c_str());

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const double nBytes = static_cast<double>(GetFileSizeOrZero(pszFile));
    std::printf("%.0f %.3f %.1f %ld %d\n", nBytes, tWall, nBytes / 1e6 / tWall, usage.ru_maxrss,
                nResult);
    return nResult > 0 ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "serve")
        return Serve();
    if (argc == 4 && std::string(argv[1]) == "send")
        return Send(argv[2], argv[3]);
    std::fprintf(stderr, "usage: %s serve | send PORT FILE\n", argv[0]);
    return 2;
}
