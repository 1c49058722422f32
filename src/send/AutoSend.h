// AutoSend.h - the one-second timer of the send form: it runs the start mode given on the command
// line, the automatic send of "/sendon" and the automatic quit of "/quit".
#pragma once
#include "app/Platform.h"
#include "app/TarvellDoc.h"
#include "send/SendFormView.h"

// The timer of automatic sending.
constexpr int AUTO_TIMER_ID = 1;
constexpr int AUTO_TIMER_PERIOD_MS = 1000;

class CSendForm;

class CAutoSend
{
  public:
    CAutoSend(CSendForm& form, CTarvellDoc& doc, IPlatform& platform)
        : m_form(form), m_doc(doc), m_platform(platform)
    {
    }

    // The form's start steps, run after its six strings were emptied: reads the send-information
    // file when its path exists (a file error there is reported and the start goes on), disables
    // Send for the rest of the run when an automatic send is requested, starts timer 1 with
    // m_nCountdown 3 (or shows "タイマー起動に失敗しました。"), then shows the form.
    void StartAutomaticSending();

    // A tick of timer nId: runs the start mode, counts down, starts the automatic send and quits.
    void OnTimer(int nId);

    // Stops the timer when it runs.
    void OnDestroy();

    // The end of a Send command that did not meet a file error: an automatic send is over
    // (running -> off) and the countdown to the automatic quit starts again at 2.
    void OnSendCommandEnded();

    bool m_bTimerOn = false;
    int m_nCountdown = 0;
    // True once the automatic send has been started.
    bool m_bAutoSendStarted = false;

  private:
    CSendForm& m_form;
    CTarvellDoc& m_doc;
    IPlatform& m_platform;
};
