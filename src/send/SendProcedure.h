// SendProcedure.h - the Send command of the send form: one attempt, or a group send with one
// attempt per member, each with its checks, status texts and records.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"
#include "app/TarvellDoc.h"
#include "mail/DeliveryProfile.h"
#include "send/SendChecks.h"
#include "send/SendLog.h"

#include <memory>
#include <vector>

class CSendForm;
class CSendTrace;

class CSendProcedure
{
  public:
    // The strings, status line and counters are the form's; the records go through its log.
    CSendProcedure(CSendForm& form, CTarvellDoc& doc, IPlatform& platform);
    ~CSendProcedure();

    // The Send command: a group send when the address begins with "@" (the group book is the
    // program folder joined to the address), else one attempt when name and address are both
    // set. Ends with m_nAutoSend 2 -> 0 and the countdown 2. A file error is reported once and
    // abandons the rest of the command: later group members and that closing step included.
    void OnSend();

    // One attempt: checks the request, shows progress and outcome in the status line, sends it,
    // then writes the log entry and the keep copy. Returns whether it was sent; a file error
    // of the body, attachment, log or keep copy propagates as CFileException.
    AttemptResult SendOneMail(int nSeq, const SenderInf& sender, const SendRequest& request);

  private:
    // SendOneMail with the command's delivery profile and a reason found while the request was
    // built (a value too long for its field), which fails the attempt before any connection;
    // nullptr when there is none.
    AttemptResult RunAttempt(int nSeq, const SenderInf& sender, const SendRequest& request,
                             const char* pszRefusal, const DeliveryProfile& profile);
    // Delivery.ini as it is now: read for every command, so a change made in the settings dialog
    // holds for the next send.
    DeliveryProfile ReadProfile() const;
    void SendToGroup();
    void SendSingle();
    // The checks of a whole command, then its attempts in order.
    void RunAttempts(std::vector<PlannedAttempt>& attempts);
    // After a stop: the attempts from nFirst on are logged as not tried, counted and told.
    void RecordNotTried(const std::vector<PlannedAttempt>& attempts, std::size_t nFirst);

    // The trace of the running send command, made by its first attempt.
    CSendTrace& Trace();

    CSendForm& m_form;
    CTarvellDoc& m_doc;
    IPlatform& m_platform;
    SendAnswers m_answers; // the answers of the running command
    std::unique_ptr<CSendTrace> m_pTrace;
    int m_nAttemptsLeft = 0;            // attempts of the running Send command not yet made
    bool m_bRecordingDelivered = false; // the log entry and keep copy of a sent mail are written
};
