// SendForm.h - the window-free half of the send form: its six strings, the send procedure with
// group sends, the send log and keep copies. The Qt view derives from it and wires its controls
// to these strings and handlers, so every path here runs in a test without a window.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"
#include "app/TarvellDoc.h"

#include <cstddef>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The result of one send attempt: what the log entry's mark shows.
enum class AttemptResult : int
{
    Sent = 0,
    Failed = 1,
};

// The commands the one-second timer issues, by their menu and control numbers.
enum CommandId : int
{
    ID_EXIT_BUTTON = 1006,      // the form's "終了": the main window is asked to close
    ID_MAIN_BOOK_SELECT = 1008, // the form's "宛先・メインアドレス帳"
    ID_SEND = 1009,             // the form's "送信"
    ID_OPTIONS = 32771,         // main window: options dialog
    ID_SENDER_SETTINGS = 32773, // main window: sender settings dialog
    ID_EDIT_MAIN_BOOK = 32775,  // main window: edit the main address book
    ID_EDIT_GROUP_BOOK = 32776, // main window: edit a group address book
    ID_GROUP_SELECT = 32777,    // the form: recipient from a group address book
};

// The timer of automatic sending.
constexpr int AUTO_TIMER_ID = 1;
constexpr int AUTO_TIMER_PERIOD_MS = 1000;

class CSendTrace;

class CSendForm
{
  public:
    CSendForm(CTarvellDoc& doc, IPlatform& platform);
    virtual ~CSendForm();

    std::string m_strToName, m_strToAddress, m_strTitle, m_strTextFile, m_strStatus, m_strBinFile;
    // Why the last attempt failed, "<step>: <server reply or error>"; empty after a success.
    std::string m_strDetail;
    int m_bTimerOn = 0;
    int m_nCountdown = 0;

    // The Send command: a group send when the address begins with "@" (the group book is the
    // program folder joined to the address), else one attempt when name and address are both
    // set. Ends with m_nAutoSend 2 -> 0 and m_nCountdown 2. A file error is reported once and
    // abandons the rest of the command: later group members and that closing step included.
    void OnSend();

    // One attempt: checks the request, shows progress and outcome in the status line, sends it,
    // then writes the log entry and the keep copy. Returns whether it was sent; a file error
    // of the body, attachment, log or keep copy propagates as CFileException.
    AttemptResult SendOneMail(int nSeq, const SenderInf& sender, const SendRequest& request);

    // Appends the attempt's entry to log/Tarvell_YYYYMM.txt (the month of timeSend).
    void WriteSendLog(AttemptResult result, std::time_t timeSend, const SendRequest& request);

    // Appends strBody to keep/YYYYMMDD_HHMMSS(NN)_NAME.txt. A name holding "/" or a path over
    // 255 bytes raises the file error: a keep copy never lands outside keep/.
    void WriteKeepCopy(int nSeq, std::time_t timeSend, const std::string& strBody,
                       const SendRequest& request);

    // Automatic sending.

    // The form's start steps, run after its six strings were emptied: reads the send-information
    // file when its path exists (a file error there is reported and the start goes on), disables
    // Send for the rest of the run when an automatic send is requested, starts timer 1 with
    // m_nCountdown 3 (or shows "タイマー起動に失敗しました。"), then shows the form.
    void StartAutomaticSending();

    // Fills the strings from a send-information file. Returns 0 when it was read, 1 when its size
    // is 0 or 1024 bytes or more (nothing read). A NUL ends the text; values longer than their
    // request fields are kept whole and refused by the send procedure.
    int ReadSendInfFile(const std::string& strPath);

    // The value of strKey in text: after the first occurrence of the key that begins on a
    // character boundary, up to the first CR or LF (a file with LF line ends gives the same
    // values as one with CR LF). Returns its length, 0 when the key is absent or the value empty
    // (strValue then empty). A value that runs to the end of text without a line end is taken
    // whole.
    static std::size_t GetKeyValue(std::string_view text, std::string_view key,
                                   std::string& strValue);

    // A tick of timer nId: runs the start mode, counts down, starts the automatic send and quits.
    void OnTimer(int nId);

    // Stops the timer when it runs.
    void OnDestroy();

    // Send commands that ended as failures in this run: failed attempts and commands abandoned by
    // a file error (a headless run's exit status).
    int m_nFailedSends = 0;

  protected:
    // Strings -> controls. The base reports a changed status line through
    // IPlatform::StatusChanged; the Qt view overrides it, calls the base and repaints.
    virtual void ShowForm();
    // Controls -> strings with the byte-limit checks; false when a field was refused. Base: true.
    virtual bool ReadForm();
    // Enables or disables the Send button. Base: nothing.
    virtual void EnableSend(bool bEnable);
    // Runs a menu or button command synchronously, with any dialog it opens, and returns when it
    // has finished. Base: ID_SEND runs OnSend; the others need the windows and do nothing here.
    virtual void SendCommand(int nId);
    // An automatic send with "/quit" was ended by a file error, so the program will not close by
    // itself. Base: nothing (with a display the person who sees the error closes it); a run
    // without a display ends the program with a failure instead.
    virtual void OnAutoSendAbandoned();

    CTarvellDoc& m_doc;
    IPlatform& m_platform;

  private:
    // SendOneMail with a reason found while the request was built (a value too long for its
    // field), which fails the attempt before any connection; nullptr when there is none.
    AttemptResult RunAttempt(int nSeq, const SenderInf& sender, const SendRequest& request,
                             const char* pszRefusal);
    void SendToGroup();
    void SendSingle();

    // One attempt of a send command, as the command planned it.
    struct Attempt
    {
        int nSeq;
        SendRequest request;
        const char* pszRefusal; // a reason found while the request was built, or nullptr
    };
    // The checks of a whole command, then its attempts in order.
    void RunAttempts(std::vector<Attempt>& attempts);
    // Before the first connection: a UTF-8 body file, then characters ISO-2022-JP cannot carry
    // in the sender's name, the title, the names and the bodies. Asks the user; a replacement
    // is applied to sender and attempts. False when the user chose to stop.
    bool CheckBeforeSending(std::vector<Attempt>& attempts, SenderInf& sender);

    // The answers of the running command: how its attempts make the body.
    bool m_bBodyFromUtf8 = false;
    bool m_bReplaceUnsafe = false;

    // The trace of the running send command, made by its first attempt.
    CSendTrace& Trace();

    std::string m_strReportedStatus; // the status line as last reported to the platform
    std::unique_ptr<CSendTrace> m_pTrace;
};
