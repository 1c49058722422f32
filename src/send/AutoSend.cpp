// AutoSend.cpp - the one-second timer of the send form: it runs the start mode given on the
// command line, the automatic send of "/sendon" and the automatic quit of "/quit".
#include "send/AutoSend.h"

#include "app/Command.h"
#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "send/SendForm.h"

namespace
{
// The command a start mode runs; 0 for a value that is not a start mode.
int StartModeCommand(std::int32_t nStartMode)
{
    switch (nStartMode)
    {
    case START_MAIN_BOOK_EDIT:
        return ID_EDIT_MAIN_BOOK;
    case START_GROUP_BOOK_EDIT:
        return ID_EDIT_GROUP_BOOK;
    case START_MAIN_BOOK_SELECT:
        return ID_MAIN_BOOK_SELECT;
    case START_GROUP_BOOK_SELECT:
        return ID_GROUP_SELECT;
    case START_OPTIONS:
        return ID_OPTIONS;
    case START_SENDER:
        return ID_SENDER_SETTINGS;
    default:
        return 0;
    }
}
} // namespace

void CAutoSend::StartAutomaticSending()
{
    const std::string strSendInf = FieldText(m_doc.m_szSendInfFile);
    if (!strSendInf.empty() && PathExists(strSendInf))
        RunCommand(m_platform, [&] { m_form.ReadSendInfFile(strSendInf); });
    if (m_doc.GetAutoSend() == AutoSendState::Requested)
        m_form.EnableSend(false);
    m_bTimerOn = true;
    m_nCountdown = 3;
    if (!m_platform.StartTimer(AUTO_TIMER_ID, AUTO_TIMER_PERIOD_MS,
                               [this](int nId) { OnTimer(nId); }))
    {
        m_platform.ShowMessage("タイマー起動に失敗しました。", MsgButtons::Ok);
        m_bTimerOn = false;
    }
    m_form.ShowForm();
}

void CAutoSend::OnTimer(int nId)
{
    if (nId != AUTO_TIMER_ID)
        return;
    if (m_doc.GetAutoSend() == AutoSendState::Off && m_doc.GetStartMode() != START_NONE)
    {
        // While the started command runs the mode holds 100 + N, so later ticks do nothing; the
        // command sets it back to 0 when its dialog closes.
        const int nCommand = StartModeCommand(m_doc.GetStartMode());
        if (nCommand != 0)
        {
            m_doc.BeginStartMode();
            m_form.SendCommand(nCommand);
        }
        return;
    }
    if (m_nCountdown >= 0)
        --m_nCountdown;
    if (m_nCountdown != 0)
        return;
    if (m_doc.GetAutoSend() == AutoSendState::Requested)
    {
        // The Send command turns the automatic send off and sets the countdown to 2 at its end; a
        // file error leaves both, so the program stays open.
        m_doc.BeginAutomaticSend();
        m_bAutoSendStarted = true;
        m_form.SendCommand(ID_SEND);
        if (m_doc.GetAutoSend() == AutoSendState::Running && m_doc.GetQuit() == 1)
            m_form.OnAutoSendAbandoned();
    }
    else if (m_doc.GetQuit() == 1 && m_doc.GetAutoSend() == AutoSendState::Off &&
             m_doc.GetStartMode() == START_NONE)
    {
        m_doc.ClearQuit();
        m_form.SendCommand(ID_EXIT_BUTTON);
    }
}

void CAutoSend::OnDestroy()
{
    if (m_bTimerOn)
    {
        m_platform.StopTimer(AUTO_TIMER_ID);
        m_bTimerOn = false;
    }
}

void CAutoSend::OnSendCommandEnded()
{
    m_doc.EndAutomaticSend();
    m_nCountdown = 2;
}
