// SendWhileAliveTest.cpp - a Send command runs off the GUI thread: the event loop goes on while
// the server is silent, a second click sends nothing, 中止 ends the command with its failure
// logged, and the send's questions are asked on the GUI thread with the answer reaching it; closing
// the window cancels the send first.
#include "ui/TarvellView.h"

#include "UiTest.h"
#include "app/Sjis.h"
#include "support/FakeMailServer.h"
#include "ui/MainFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <fstream>

namespace
{
// Records where the send's message boxes and questions were shown.
class CThreadCheckingPlatform : public CScriptedPlatform
{
  public:
    std::vector<bool> m_onGuiThread;
    std::function<bool()> m_isSending;
    std::vector<bool> m_duringSend;

    MsgResult ShowMessage(const std::string& strText, MsgButtons buttons) override
    {
        Record();
        return CScriptedPlatform::ShowMessage(strText, buttons);
    }
    std::size_t AskQuestion(const std::string& strText,
                            const std::vector<std::string>& answers) override
    {
        Record();
        return CScriptedPlatform::AskQuestion(strText, answers);
    }

  private:
    void Record()
    {
        m_onGuiThread.push_back(QThread::currentThread() == qApp->thread());
        m_duringSend.push_back(m_isSending && m_isSending());
    }
};

class SendWhileAlive : public UiTest
{
  protected:
    SendWhileAlive() : m_frame(*m_pDoc, m_gui), m_view(m_frame.View())
    {
        m_gui.m_bAllowMessages = true;
        m_gui.m_isSending = [this] { return m_view.IsSending(); };
    }

    // The sender at strHostPort and a one-recipient form with the given title.
    void Prepare(const std::string& strHostPort, const QString& qstrTitle)
    {
        SetField(m_pDoc->m_sender.szMailAddress, "from@example.jp");
        SetField(m_pDoc->m_sender.szLoginName, "login");
        SetField(m_pDoc->m_sender.szPassword, "secret");
        SetField(m_pDoc->m_sender.szPop3Server, strHostPort);
        SetField(m_pDoc->m_sender.szSmtpServer, strHostPort);
        std::ofstream(m_folder.Path("body.txt")) << "body\n";
        SetText(m_view, "m_strToName", QStringLiteral(u"山田"));
        SetText(m_view, "m_strToAddress", QStringLiteral("yamada@example.jp"));
        SetText(m_view, "m_strTitle", qstrTitle);
        SetText(m_view, "m_strTextFile", QString::fromStdString(m_folder.Path("body.txt")));
    }

    // The send log of the scripted month; empty when nothing was logged.
    std::string Log()
    {
        std::ifstream in(m_folder.Path("log/Tarvell_200407.txt"), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static int Count(const std::string& strText, const std::string& strPart)
    {
        int n = 0;
        for (std::size_t i = strText.find(strPart); i != std::string::npos;
             i = strText.find(strPart, i + 1))
            ++n;
        return n;
    }

    CThreadCheckingPlatform m_gui;
    CMainFrame m_frame;
    CTarvellView& m_view;
};

TEST_F(SendWhileAlive, TheLoopRunsWhileTheServerIsSilentAndStopEndsTheCommandOnce)
{
    CServerScript silent;
    silent.Say("220 fake\r\n").Silent();
    CFakeMailServer server;
    server.AddConnection(CServerScript::Pop3Accepting());
    server.AddConnection(silent);
    Prepare(server.HostPort(), QStringLiteral(u"件名"));
    QPushButton* pSend = Child<QPushButton>(m_view, "m_btnSend");
    QPushButton* pAbort = Child<QPushButton>(m_view, "m_btnAbort");
    ASSERT_TRUE(pSend != nullptr && pAbort != nullptr);

    int nTicks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++nTicks; });
    ticker.start(50);
    QString qstrStatus;
    bool bSendEnabled = true;
    bool bAbortShown = false;
    QTimer::singleShot(600, [&] {
        qstrStatus = Text(m_view, "m_strStatus");
        bSendEnabled = pSend->isEnabled();
        bAbortShown = !pAbort->isHidden();
        Click(m_view, "m_btnSend"); // the second click of a double-click
        m_view.OnCommand(ID_SEND);  // and the command however it comes
        Click(m_view, "m_btnAbort");
    });
    QElapsedTimer clock;
    clock.start();
    Click(m_view, "m_btnSend");
    const qint64 nElapsedMs = clock.elapsed();
    server.Stop();

    EXPECT_GE(nTicks, 8) << "the event loop stood still";
    EXPECT_LT(nElapsedMs, 4000) << "中止 waited for the time-out";
    EXPECT_EQ(qstrStatus, QStringLiteral(u"山田 添付ファイルなし送信開始-"));
    EXPECT_FALSE(bSendEnabled);
    EXPECT_TRUE(bAbortShown);
    EXPECT_EQ(server.ConnectionCount(), 2u) << "one POP3 and one SMTP connection: one send";
    const std::string strLog = Log();
    EXPECT_EQ(Count(strLog, SJ(u"★ [送信失敗]")), 1) << strLog;
    EXPECT_EQ(Count(strLog, SJ(u"☆ [送信成功]")), 0) << strLog;
    EXPECT_EQ(m_view.m_form.Tally().nFailed, 1);
    // The stop is told as such, with the step it came at, never as a socket error.
    EXPECT_EQ(m_view.m_form.Detail(), SJ(u"HELO: 中止しました"));
    EXPECT_TRUE(m_gui.m_messages.empty()) << "a cancelled send shows no socket error";
    EXPECT_TRUE(pSend->isEnabled());
    EXPECT_TRUE(pAbort->isHidden());
}

// The close box, and SIGINT and SIGTERM that close the window as it does, cancel a running send;
// the window closes once the command has ended with its failure logged.
TEST_F(SendWhileAlive, ClosingDuringASendCancelsItThenCloses)
{
    CServerScript silent;
    silent.Say("220 fake\r\n").Silent();
    CFakeMailServer server;
    server.AddConnection(CServerScript::Pop3Accepting());
    server.AddConnection(silent);
    Prepare(server.HostPort(), QStringLiteral(u"件名"));
    QTimer::singleShot(400, [&] { m_frame.close(); });
    QElapsedTimer clock;
    clock.start();
    Click(m_view, "m_btnSend");
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_TRUE(m_gui.m_stoppedTimers.empty()) << "closed before the send ended";
    QCoreApplication::processEvents(); // the close the send left queued
    server.Stop();
    EXPECT_EQ(m_gui.m_stoppedTimers, std::vector<int>{AUTO_TIMER_ID});
    EXPECT_EQ(Count(Log(), SJ(u"★ [送信失敗]")), 1);
}

// A half-width kana in the title raises the character question during the send.
TEST_F(SendWhileAlive, TheSendsQuestionIsAskedOnTheGuiThreadAndItsAnswerReachesTheSend)
{
    struct Row
    {
        const char* pszAnswer;
        std::size_t nAnswer;
        std::size_t nConnections;
        int nSent;
    };
    const Row rows[] = {{"中止", 2, 0, 0}, {"そのまま送信", 1, 2, 1}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.pszAnswer);
        std::remove(m_folder.Path("log/Tarvell_200407.txt").c_str());
        m_gui.m_onGuiThread.clear();
        m_gui.m_duringSend.clear();
        CFakeMailServer server;
        server.AddConnection(CServerScript::Pop3Accepting());
        server.AddConnection(CServerScript::SmtpAccepting());
        Prepare(server.HostPort(), QStringLiteral(u"ｱｲｳ"));
        m_gui.m_nextChoices = {row.nAnswer};
        Click(m_view, "m_btnSend");
        server.Stop();

        EXPECT_EQ(m_gui.m_questions.size(), 1u);
        EXPECT_EQ(m_gui.m_onGuiThread, std::vector<bool>{true});
        EXPECT_EQ(m_gui.m_duringSend, std::vector<bool>{true});
        EXPECT_EQ(server.ConnectionCount(), row.nConnections);
        EXPECT_EQ(Count(Log(), SJ(u"☆ [送信成功]")), row.nSent);
        m_gui.m_questions.clear();
    }
}
} // namespace
