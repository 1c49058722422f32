// SendProcedure.h - the Send command of the send form: one attempt, or a group send with one
// attempt per member, each with its checks, status texts and records.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"
#include "app/TarvellDoc.h"
#include "mail/DeliveryProfile.h"
#include "mail/OAuthClient.h"
#include "mail/SendResult.h"
#include "mail/SystemSocket.h"
#include "send/GroupResults.h"
#include "send/MessagePreview.h"
#include "send/SendChecks.h"
#include "send/SendLog.h"

#include <memory>
#include <vector>

// What the send commands of a run ended with, for the exit status of a run without a display.
struct SendTally
{
    // Send commands that ended as failures: failed attempts and commands abandoned by a file error
    // before every requested mail went out.
    int nFailed = 0;
    // Send commands whose every mail went out but whose log entry or keep copy could not be
    // written.
    int nUnrecorded = 0;
    // Mails sent, and mails a stopped command (中止, a signal, closing) left untried.
    int nDelivered = 0;
    int nStopped = 0;
};

class CSendCancel;
class CSendForm;
class CSendTrace;

class CSendProcedure
{
  public:
    // The strings and the status line are the form's.
    // cancel stops the running command at its next step and ends the waits of its sockets.
    CSendProcedure(CSendForm& form, CTarvellDoc& doc, IPlatform& platform,
                   const CSendCancel& cancel);
    ~CSendProcedure();

    // The Send command: a group send when the address begins with "@" (the group book is the
    // program folder joined to the address), else one attempt when name and address are both
    // set. Ends a running automatic send and sets the countdown to 2. A file error is reported once
    // and abandons the rest of the command: later group members and that closing step included.
    void OnSend();
    // The Send command as a resend: a group send only to the members whose last result for this
    // book and this mail (title, body file, attachment) is not 送信成功. "/resend" makes the
    // automatic send one.
    void OnResend();
    // The form's mail once to the sender's own address (name and address of 発送元設定), as one
    // attempt with its log entry and keep copy; the form's recipient is left as it was.
    void OnTestSend();
    // The mail the recipient (a group's first member) would get, after the checks a send makes.
    MessagePreview Preview();

    // What this run's send commands ended with.
    const SendTally& Tally() const { return m_tally; }

    // A group send waits this long before its 2nd and 3rd try of a member that got a transient
    // (4xx) refusal of MAIL, RCPT or DATA.
    static constexpr int kRetryWaitSeconds[] = {10, 30};

  private:
    // What one attempt ended with, for the counts, the results file and the retry.
    struct AttemptReport
    {
        AttemptResult result = AttemptResult::Failed;
        bool bCancelled = false; // it failed because the send was stopped
        bool bThrottled = false; // a try was refused with "too many": wait longer from now on
        std::string strReason;   // the status line's reason of a failure
        SendOutcome outcome;
    };

    // SendOneMail with the command's delivery profile and a reason found while the request was
    // built (a value too long for its field), which fails the attempt before any connection;
    // nullptr when there is none. Counts nothing: the caller does, once per member.
    AttemptReport RunAttempt(int nSeq, const SenderInf& sender, const SendRequest& request,
                             const char* pszRefusal, const DeliveryProfile& profile);
    // RunAttempt, tried again after kRetryWaitSeconds while a group member's refusal is transient.
    AttemptReport RunAttemptWithRetries(const PlannedAttempt& attempt, const SenderInf& sender,
                                        const DeliveryProfile& profile, bool bGroup);
    // Waits nSeconds in short slices, the countdown in the status line after strWhat; false when
    // the send was stopped meanwhile.
    bool WaitUnlessStopped(int nSeconds, const std::string& strWhat);
    // Adds one member's final result to the tally.
    void Count(const AttemptReport& report);
    // The end of a group send: the results file, the summary in the status line's detail and
    // through the platform.
    void EndGroupSend(const CGroupResults& results);
    // Delivery.ini as it is now: read for every command, so a change made in the settings dialog
    // holds for the next send.
    DeliveryProfile ReadProfile() const;
    // Authentication=oauth2: the source of access tokens, kept while the profile stays the same
    // so that one access token serves a whole group send. nullptr for other profiles.
    IAccessTokenSource* AccessTokens(const DeliveryProfile& profile);
    void SendToGroup();
    std::string m_strGroupBook;       // the running group send's book file name
    std::time_t m_timeGroupStart = 0; // and when it started (its results file's name)
    GroupMail m_groupMail;            // and the mail it sends
    bool m_bResend = false;           // OnResend asked for the running command to be a resend
    bool m_bToSender = false;         // OnTestSend: the running command sends to the sender
    void SendSingle();
    // The checks of a whole command, then its attempts in order; pResults: a group send's, which
    // gets every member's result (and holds the skipped ones already).
    void RunAttempts(std::vector<PlannedAttempt>& attempts, CGroupResults* pResults);
    // After a stop: the attempts from nFirst on are counted as not tried and, in a group send,
    // recorded with strReason.
    void RecordNotTried(const std::vector<PlannedAttempt>& attempts, std::size_t nFirst,
                        CGroupResults* pResults, const std::string& strReason);

    // The trace of the running send command, made by its first attempt.
    CSendTrace& Trace();

    CSendForm& m_form;
    CSendLog m_log;
    SendTally m_tally;
    CTarvellDoc& m_doc;
    IPlatform& m_platform;
    const CSendCancel& m_cancel;
    CSystemSocketFactory m_sockets; // every connection of a command, the token's too
    SendAnswers m_answers;          // the answers of the running command
    std::unique_ptr<CSendTrace> m_pTrace;
    std::unique_ptr<IAccessTokenSource> m_pAccessTokens;
    std::string m_strTokensProfile;     // the profile m_pAccessTokens was made for
    int m_nAttemptsLeft = 0;            // attempts of the running Send command not yet made
    bool m_bRecordingDelivered = false; // the log entry and keep copy of a sent mail are written
};
