// SendForm.h - the window-free half of the send form: its six strings, the send procedure with
// group sends, the send log and keep copies. The Qt view derives from it and wires its controls
// to these strings and handlers, so every path here runs in a test without a window.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"
#include "app/TarvellDoc.h"

#include <ctime>
#include <string>

// Result of one send attempt.
constexpr int SEND_OK = 0;
constexpr int SEND_FAILED = 1;

class CSendForm
{
public:
    CSendForm(CTarvellDoc& doc, IPlatform& platform);
    virtual ~CSendForm();

    std::string m_strToName, m_strToAddress, m_strTitle, m_strTextFile, m_strStatus, m_strBinFile;
    int m_bTimerOn = 0;
    int m_nCountdown = 0;

    // The Send command: a group send when the address begins with "@" (the group book is the
    // program folder joined to the address), else one attempt when name and address are both
    // set. Ends with m_nAutoSend 2 -> 0 and m_nCountdown 2. A file error is reported once and
    // abandons the rest of the command: later group members and that closing step included.
    void OnSend();

    // One attempt: checks the request, shows progress and outcome in the status line, sends it,
    // then writes the log entry and the keep copy. Returns SEND_OK or SEND_FAILED; a file error
    // of the body, attachment, log or keep copy propagates as CFileException.
    int SendOneMail(int nSeq, const SenderInf& sender, const SendRequest& request);

    // Appends the attempt's entry to log/Tarvell_YYYYMM.txt (the month of timeSend).
    void WriteSendLog(int nResult, std::time_t timeSend, const SendRequest& request);

    // Appends strBody to keep/YYYYMMDD_HHMMSS(NN)_NAME.txt. A name holding "/" or a path over
    // 255 bytes raises the file error: a keep copy never lands outside keep/.
    void WriteKeepCopy(int nSeq, std::time_t timeSend, const std::string& strBody,
                       const SendRequest& request);

protected:
    // Strings -> controls. The base reports a changed status line through
    // IPlatform::StatusChanged; the Qt view overrides it, calls the base and repaints.
    virtual void ShowForm();
    // Controls -> strings with the byte-limit checks; false when a field was refused. Base: true.
    virtual bool ReadForm();

    CTarvellDoc& m_doc;
    IPlatform& m_platform;

private:
    // SendOneMail with a reason found while the request was built (a value too long for its
    // field), which fails the attempt before any connection; nullptr when there is none.
    int RunAttempt(int nSeq, const SenderInf& sender, const SendRequest& request,
                   const char* pszRefusal);
    void SendToGroup();
    void SendSingle();

    std::string m_strReportedStatus;   // the status line as last reported to the platform
};
