// group_send.cpp - a 50-member group send to the loopback fake POP3/SMTP server, beside 50 sends
// of the same message by msmtp to the same kind of server in the same run, and the same group send
// with Delivery.ini's SendInterval=2 (real waits: one iteration, about 98 s more). Reports the
// time of the whole send and the time per member (per_member, in seconds).
// One run on a shared 2-core machine: 81.0 ms without an interval (1.62 ms a member), 98 281 ms
// with SendInterval=2 (49 waits of 2 s and 0.28 s of sending), msmtp 2 515 ms.
#include "addr/AddressBook.h"
#include "app/Sjis.h"
#include "app/TarvellDoc.h"
#include "send/SendForm.h"
#include "support/FakeMailServer.h"
#include "support/TempFolder.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
constexpr int MEMBERS = 50;

// A platform that answers nothing: a group send needs only the clock and the status line.
class CQuietPlatform : public IPlatform
{
  public:
    MsgResult ShowMessage(const std::string&, MsgButtons) override
    {
        ++m_nMessages;
        return MsgResult::Ok;
    }
    FileDialogResult OpenFileDialog(const FileDialogRequest&) override { return {}; }
    int ShellOpen(const std::string&, const std::string&) override { return 0; }
    int RunModal(IModalDialog&) override { return DLG_CANCEL; }
    void ReportFileError(const CFileException&) override { ++m_nFileErrors; }
    bool StartTimer(int, int, std::function<void(int)>) override { return false; }
    void StopTimer(int) override {}
    int m_nMessages = 0;
    int m_nFileErrors = 0;
};

// A program folder with a sender pointing at the server, a body file and a 50-member group book.
struct CGroupSetup
{
    explicit CGroupSetup(const std::string& strHostPort)
        : doc(platform, temp.Dir(), ""), form(doc, platform)
    {
        std::ofstream(temp.Path("body.txt"), std::ios::binary)
            << "%NAME様\r\n\r\nいつもお世話になっております。\r\n今月のご案内をお送りします。\r\n";
        AddressBook book;
        for (int i = 0; i < MEMBERS; ++i)
        {
            const std::string strNumber = std::to_string(i + 1);
            SetField(book.entries[i].szName, std::string("会員").append(strNumber));
            SetField(book.entries[i].szAddress,
                     std::string("member").append(strNumber) + "@example.jp");
        }
        SaveBook(temp.Path("@members.tvl"), book);
        SetField(doc.m_sender.szName, "差出人");
        SetField(doc.m_sender.szMailAddress, "from@example.jp");
        SetField(doc.m_sender.szSmtpServer, strHostPort);
        SetField(doc.m_sender.szPop3Server, strHostPort);
        SetField(doc.m_sender.szLoginName, "login");
        SetField(doc.m_sender.szPassword, "secret");
        form.m_strToAddress = "@members.tvl";
        form.m_strTitle = "今月のご案内";
        form.m_strTextFile = temp.Path("body.txt");
    }

    CTempFolder temp;
    CQuietPlatform platform;
    CTarvellDoc doc;
    CSendForm form;
};

// The message data Tarvell wrote for one member (between DATA and the end-of-data line).
std::string OneMessage()
{
    CFakeMailServer server;
    server.AddConnection(CServerScript::Pop3Accepting());
    server.AddConnection(CServerScript::SmtpAccepting());
    CGroupSetup setup(server.HostPort());
    SendRequest request;
    SetField(request.szName, "会員1");
    SetField(request.szAddress, "member1@example.jp");
    SetField(request.szTitle, setup.form.m_strTitle);
    SetField(request.szTextFile, setup.form.m_strTextFile);
    setup.form.SendOneMail(1, setup.doc.m_sender, request);
    server.Stop();
    const std::string strSmtp = server.Received(1);
    const std::size_t nData = strSmtp.find("DATA\n");
    const std::size_t nEnd = strSmtp.find("\r\n.\r\n");
    return strSmtp.substr(nData + 5, nEnd + 2 - (nData + 5));
}

// state.range(0): Delivery.ini's SendInterval in seconds, 0 for no file.
void BM_TarvellGroupSend(benchmark::State& state)
{
    CFakeMailServer server;
    server.AddConnection(CServerScript::Pop3Accepting());
    server.AddConnection(CServerScript::SmtpAccepting());
    server.SetRepeat(true);
    server.SetSink(true);
    CGroupSetup setup(server.HostPort());
    if (state.range(0) > 0)
        std::ofstream(setup.temp.Path("Delivery.ini"), std::ios::binary)
            << "SendInterval=" << state.range(0) << "\r\n";
    for (auto _ : state)
        setup.form.OnSend();
    if (setup.form.m_nFailedSends != 0 || setup.platform.m_nFileErrors != 0)
        state.SkipWithError("a member was not sent");
    state.counters["per_member"] = benchmark::Counter(
        MEMBERS, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// One msmtp run: SMTP only (no POP3 log-in), the message read from a file on standard input.
bool RunMsmtp(int nPort, const std::string& strMessageFile, int nMember)
{
    const std::string strPort = "--port=" + std::to_string(nPort);
    const std::string strTo = "member" + std::to_string(nMember) + "@example.jp";
    const char* argv[] = {"msmtp",
                          "--file=/dev/null",
                          "--host=127.0.0.1",
                          strPort.c_str(),
                          "--from=from@example.jp",
                          "--auth=off",
                          "--tls=off",
                          "--",
                          strTo.c_str(),
                          nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, strMessageFile.c_str(), O_RDONLY, 0);
    pid_t pid = 0;
    const int nSpawn =
        posix_spawnp(&pid, "msmtp", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (nSpawn != 0)
        return false;
    int nStatus = 0;
    ::waitpid(pid, &nStatus, 0);
    return WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
}

void BM_MsmtpFiftySends(benchmark::State& state)
{
    CTempFolder temp;
    const std::string strMessageFile = temp.Path("message.eml");
    std::ofstream(strMessageFile, std::ios::binary) << OneMessage();
    CFakeMailServer server;
    server.AddConnection(CServerScript::SmtpAccepting());
    server.SetRepeat(true);
    server.SetSink(true);
    for (auto _ : state)
    {
        for (int i = 1; i <= MEMBERS; ++i)
        {
            if (!RunMsmtp(server.Port(), strMessageFile, i))
            {
                state.SkipWithError("msmtp failed (is it installed?)");
                return;
            }
        }
    }
    state.counters["per_member"] = benchmark::Counter(
        MEMBERS, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
} // namespace

BENCHMARK(BM_TarvellGroupSend)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
// The 49 waits between members dwarf the sends: one iteration is enough.
BENCHMARK(BM_TarvellGroupSend)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_MsmtpFiftySends)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

BENCHMARK_MAIN();
