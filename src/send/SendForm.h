// SendForm.h - the window-free logic of the send form: its six strings and the parts that do its
// jobs (the send procedure, the send log and keep copies, the automatic-send timer). The Qt view
// owns one and is called back through ISendFormView, so every path here runs in a test without
// a window.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"
#include "app/TarvellDoc.h"
#include "mail/SendCancel.h"
#include "send/AutoSend.h"
#include "send/SendFormView.h"
#include "send/SendLog.h"
#include "send/SendProcedure.h"

#include <cstddef>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Exit status of a run without a display, for the scripts and timer jobs that start it.
constexpr int EXIT_ALL_SENT = 0;          // every requested send went out and was recorded
constexpr int EXIT_SEND_FAILED = 1;       // a send failed
constexpr int EXIT_NOT_RECORDED = 2;      // every send went out, but a record, log entry or keep
                                          // copy could not be written
constexpr int EXIT_AUTO_SEND_NOT_RUN = 3; // the requested automatic send never ran

class CSendForm
{
  public:
    // pView is the window the form calls back; nullptr for a form without one. pCancel is the
    // token that stops its sends (the send job's); nullptr: the form keeps one of its own.
    CSendForm(CTarvellDoc& doc, IPlatform& platform, ISendFormView* pView = nullptr,
              CSendCancel* pCancel = nullptr);
    CSendForm(const CSendForm&) = delete;
    CSendForm& operator=(const CSendForm&) = delete;

    std::string m_strToName, m_strToAddress, m_strTitle, m_strTextFile, m_strStatus, m_strBinFile;
    // Why the last attempt failed, "<step>: <server reply or error>"; empty after a success.
    std::string m_strDetail;

    // The Send command, one attempt, the log entry and the keep copy: see CSendProcedure and
    // CSendLog.
    void OnSend() { m_procedure.OnSend(); }
    void OnResend() { m_procedure.OnResend(); }
    void OnTestSend() { m_procedure.OnTestSend(); }
    MessagePreview Preview() { return m_procedure.Preview(); }
    AttemptResult SendOneMail(int nSeq, const SenderInf& sender, const SendRequest& request)
    {
        return m_procedure.SendOneMail(nSeq, sender, request);
    }
    void WriteSendLog(AttemptResult result, std::time_t timeSend, const SendRequest& request)
    {
        m_log.WriteSendLog(result, timeSend, request);
    }
    void WriteKeepCopy(int nSeq, std::time_t timeSend, const std::string& strBody,
                       const SendRequest& request)
    {
        m_log.WriteKeepCopy(nSeq, timeSend, strBody, request);
    }

    // Fills the strings from a send-information file. Returns 0 when it was read, 1 when its size
    // is 0 or 1024 bytes or more (nothing read). See send/SendInfFile.h.
    int ReadSendInfFile(const std::string& strPath);

    // The automatic sending: see CAutoSend.
    void StartAutomaticSending() { m_autoSend.StartAutomaticSending(); }
    void OnTimer(int nId) { m_autoSend.OnTimer(nId); }
    void OnDestroy() { m_autoSend.OnDestroy(); }

    // Send commands that ended as failures in this run: failed attempts and commands abandoned by
    // a file error before every requested mail went out (a headless run's exit status).
    int m_nFailedSends = 0;
    // Send commands whose every mail went out but whose log entry or keep copy could not be
    // written.
    int m_nUnrecordedSends = 0;
    // Mails sent in this run, and mails a stopped command (中止, a signal, closing) left untried.
    int m_nDeliveredSends = 0;
    int m_nStoppedSends = 0;

    // The exit status of the run so far (EXIT_*), given whether the records were written: a failed
    // send first, or a stopped command that left mails untried (EXIT_SEND_FAILED when some went
    // out, else EXIT_AUTO_SEND_NOT_RUN), then an automatic send that "/sendon" asked for and that
    // never started, then anything that went out without being recorded.
    int RunExitStatus(bool bRecordsSaved) const;

    // The calls into the window; without one: ShowForm reports a changed status line through
    // IPlatform::StatusChanged only, ReadForm keeps the strings, EnableSend does nothing,
    // SendCommand runs ID_SEND (the other commands need the windows) and an abandoned automatic
    // send is left alone.
    void ShowForm();
    bool ReadForm();
    void EnableSend(bool bEnable);
    void SendCommand(int nId);
    void OnAutoSendAbandoned();

    // The request that stops the running send command.
    CSendCancel& Cancel() { return m_cancel; }

  private:
    CSendCancel m_ownCancel;
    CSendCancel& m_cancel;

  public:
    CSendLog m_log;
    CSendProcedure m_procedure;
    CAutoSend m_autoSend;

  private:
    CTarvellDoc& m_doc;
    IPlatform& m_platform;
    ISendFormView* m_pView;
    std::string m_strReportedStatus; // the status line as last reported to the platform
};
