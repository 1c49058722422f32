// AutoSendTest.cpp - the one-second timer driven tick by tick: start modes, the automatic send,
// the automatic quit, and what stops them.
#include "SendFixture.h"

#include <functional>

namespace
{
using Ids = std::vector<int>;

// Records the commands the timer issues instead of running windows. A command may be given an
// action that stands for its dialog (ticks arriving meanwhile, the mode reset when it closes).
class CRecordingView : public ISendFormView
{
  public:
    CRecordingView(CTarvellDoc& doc, IPlatform& platform) : m_form(doc, platform, this) {}

    CSendForm m_form;
    Ids m_commands;
    std::vector<bool> m_sendEnabled;
    int m_nAbandoned = 0;
    std::function<void(int)> m_onDialog;

  private:
    void ShowStrings() override {}
    bool ReadControls() override { return true; }
    void IssueCommand(int nId) override
    {
        m_commands.push_back(nId);
        if (nId == ID_SEND)
            m_form.OnSend();
        else if (nId != ID_EXIT_BUTTON && m_onDialog)
            m_onDialog(nId);
    }
    void EnableSend(bool bEnable) override { m_sendEnabled.push_back(bEnable); }
    void OnAutoSendAbandoned() override { ++m_nAbandoned; }
};
} // namespace

class AutoSend : public SendFixture
{
  protected:
    void SetUp() override
    {
        SendFixture::SetUp();
        Write("body.txt", "本文");
        // An empty title: the attempt fails before connecting, but is logged like any other.
        Write("inf.txt",
              "Name=山田\r\nAddress=yamada@example.jp\r\nTextFile=" + m_strAppDir + "body.txt\r\n");
    }

    // Builds the document from strCmdLine and runs the form's start steps.
    void Start(const std::string& strCmdLine)
    {
        m_pForm.reset();
        m_pDoc = std::make_unique<CTarvellDoc>(m_platform, m_strAppDir, strCmdLine);
        m_pRecording = std::make_unique<CRecordingView>(*m_pDoc, m_platform);
        m_pRecording->m_form.StartAutomaticSending();
    }
    // Ticks nTicks times; returns the commands issued meanwhile.
    Ids Ticks(int nTicks)
    {
        const std::size_t nBefore = m_pRecording->m_commands.size();
        for (int i = 0; i < nTicks; ++i)
            m_platform.Tick(AUTO_TIMER_ID);
        return Ids(m_pRecording->m_commands.begin() + static_cast<std::ptrdiff_t>(nBefore),
                   m_pRecording->m_commands.end());
    }
    std::string SendInfSwitch() const { return "/sendinf=" + m_strAppDir + "inf.txt"; }

    std::unique_ptr<CRecordingView> m_pRecording;
};

TEST_F(AutoSend, EachStartModeIssuesItsCommandOnceAndWaitsWhileItRuns)
{
    const std::vector<std::pair<std::string, int>> modes = {
        {"/maddropen", ID_EDIT_MAIN_BOOK},
        {"/gaddropen", ID_EDIT_GROUP_BOOK},
        {"/maddrselect", ID_MAIN_BOOK_SELECT},
        {"/gaddrselect", ID_GROUP_SELECT},
        {"/option", ID_OPTIONS},
        {"/sender", ID_SENDER_SETTINGS},
    };
    for (const auto& [strSwitch, nCommand] : modes)
    {
        Start(strSwitch);
        const std::int32_t nMode = m_pDoc->GetStartMode();
        EXPECT_EQ(Ticks(1), Ids{nCommand}) << strSwitch;
        EXPECT_EQ(m_pDoc->GetStartMode(), nMode + 100) << strSwitch;
        // The dialog stays open: ticks find 100 + N and do nothing, the countdown included.
        EXPECT_TRUE(Ticks(5).empty()) << strSwitch;
        EXPECT_EQ(m_pRecording->m_form.AutoSender().m_nCountdown, 3) << strSwitch;
    }
    EXPECT_TRUE(m_pRecording->m_sendEnabled.empty());
}

TEST_F(AutoSend, SendonSendsOnTheThirdTickAndQuitsOnTheSecondTickAfter)
{
    Start("/sendon /quit " + SendInfSwitch());
    EXPECT_EQ(m_pRecording->m_form.Field(FormField::ToName), "山田");
    EXPECT_EQ(m_pRecording->m_sendEnabled, std::vector<bool>{false});
    EXPECT_EQ(m_pDoc->GetAutoSend(), AutoSendState::Requested);

    EXPECT_TRUE(Ticks(2).empty());
    EXPECT_EQ(Ticks(1), Ids{ID_SEND});
    EXPECT_EQ(m_pDoc->GetAutoSend(), AutoSendState::Off);
    EXPECT_EQ(m_pRecording->m_form.Status(), "送信失敗-");
    EXPECT_FALSE(Read("log/Tarvell_200407.txt").empty());
    EXPECT_TRUE(Ticks(1).empty());
    EXPECT_EQ(Ticks(1), Ids{ID_EXIT_BUTTON});
    EXPECT_EQ(m_pDoc->GetQuit(), 0);
    EXPECT_TRUE(Ticks(10).empty());
    EXPECT_EQ(m_pRecording->m_form.Tally().nFailed, 1);
    EXPECT_EQ(m_pRecording->m_sendEnabled.size(), 1u); // never enabled again
}

TEST_F(AutoSend, QuitAloneQuitsOnTheThirdTick)
{
    Start("/quit");
    EXPECT_TRUE(Ticks(2).empty());
    EXPECT_EQ(Ticks(1), Ids{ID_EXIT_BUTTON});
    EXPECT_TRUE(m_pRecording->m_sendEnabled.empty());
}

TEST_F(AutoSend, NothingAutomaticWithoutSwitches)
{
    Start(SendInfSwitch()); // the form is filled, nothing is sent
    EXPECT_EQ(m_pRecording->m_form.Field(FormField::ToAddress), "yamada@example.jp");
    EXPECT_TRUE(Ticks(20).empty());
    EXPECT_EQ(m_pRecording->m_form.AutoSender().m_nCountdown, -1);
    EXPECT_TRUE(Files("log").empty());
}

// The countdown runs again after every Send command, a manual one included, and only on ticks of
// timer 1.
TEST_F(AutoSend, ManualSendRestartsTheCountdownAndOtherTimersCountNothing)
{
    Start("/quit");
    EXPECT_TRUE(Ticks(2).empty());
    for (int i = 0; i < 3; ++i)
        m_pRecording->m_form.OnTimer(AUTO_TIMER_ID + 1);
    EXPECT_EQ(m_pRecording->m_form.AutoSender().m_nCountdown, 1);
    m_pRecording->m_form.OnSend(); // an empty form: nothing is sent, the countdown starts afresh
    EXPECT_TRUE(Ticks(1).empty());
    EXPECT_EQ(Ticks(1), Ids{ID_EXIT_BUTTON});
}

// The dialog's command resets the mode when it closes; ticks that arrive meanwhile change nothing.
TEST_F(AutoSend, StartModeWithQuitQuitsOnlyAfterItsDialogHasClosed)
{
    Start("/option /quit");
    int nTicksInDialog = 0;
    m_pRecording->m_onDialog = [&](int) {
        for (int i = 0; i < 4; ++i)
        {
            m_platform.Tick(AUTO_TIMER_ID);
            ++nTicksInDialog;
        }
        m_pDoc->EndStartMode(START_OPTIONS);
    };
    EXPECT_EQ(Ticks(1), Ids{ID_OPTIONS});
    EXPECT_EQ(nTicksInDialog, 4);
    EXPECT_TRUE(Ticks(2).empty());
    EXPECT_EQ(Ticks(1), Ids{ID_EXIT_BUTTON});
}

TEST_F(AutoSend, SendonWithAStartModeSendsFirstThenOpensTheDialog)
{
    Start("/sendon /maddrselect " + SendInfSwitch());
    EXPECT_TRUE(Ticks(2).empty());
    EXPECT_EQ(Ticks(1), Ids{ID_SEND});
    EXPECT_EQ(Ticks(1), Ids{ID_MAIN_BOOK_SELECT});
    EXPECT_EQ(m_pDoc->GetStartMode(), START_MAIN_BOOK_SELECT + START_RUNNING);
}

TEST_F(AutoSend, FileErrorDuringTheAutomaticSendLeavesTheProgramOpen)
{
    Start("/sendon /quit " + SendInfSwitch());
    std::filesystem::remove(m_strAppDir + "log");
    EXPECT_EQ(Ticks(3), Ids{ID_SEND});
    EXPECT_EQ(m_platform.m_fileErrors.size(), 1u);
    EXPECT_EQ(m_pDoc->GetAutoSend(), AutoSendState::Running);
    EXPECT_EQ(m_pRecording->m_nAbandoned, 1);
    // The failed attempt whose log entry could not be written counts once, not again as an
    // abandoned command.
    EXPECT_EQ(m_pRecording->m_form.Tally().nFailed, 1);
    EXPECT_TRUE(Ticks(10).empty());
}

TEST_F(AutoSend, FailedTimerStartIsReportedAndNothingAutomaticHappens)
{
    m_platform.m_bTimerStarts = false;
    m_platform.m_nextAnswers.push_back(MsgResult::Ok);
    Start("/sendon /quit " + SendInfSwitch());
    EXPECT_EQ(m_platform.m_messages, std::vector<std::string>{"タイマー起動に失敗しました。"});
    EXPECT_FALSE(m_pRecording->m_form.AutoSender().m_bTimerOn);
    EXPECT_TRUE(Ticks(5).empty());
    m_pRecording->m_form.OnDestroy();
    EXPECT_TRUE(m_platform.m_stoppedTimers.empty());
}

TEST_F(AutoSend, DestroyStopsTheRunningTimerOnce)
{
    Start("");
    EXPECT_TRUE(m_pRecording->m_form.AutoSender().m_bTimerOn);
    m_pRecording->m_form.OnDestroy();
    m_pRecording->m_form.OnDestroy();
    EXPECT_EQ(m_platform.m_stoppedTimers, Ids{AUTO_TIMER_ID});
    EXPECT_FALSE(m_pRecording->m_form.AutoSender().m_bTimerOn);
    EXPECT_TRUE(m_platform.m_timers.empty());
}
