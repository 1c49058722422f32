// SendForm.h - the window-free logic of the send form: its strings and the parts that do its jobs
// (the send procedure with the send log and keep copies, the automatic-send timer). Each window
// (Qt or Win32) owns one and is called back through ISendFormView, so every path here runs in a
// test without a window.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"
#include "app/TarvellDoc.h"
#include "mail/SendCancel.h"
#include "send/AutoSend.h"
#include "send/FormStrings.h"
#include "send/SendFormView.h"
#include "send/SendProcedure.h"

#include <cstddef>
#include <string>
#include <string_view>

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

    // The fields, the status line and its detail. Only the window's thread changes the fields;
    // during a send the worker changes the status line and its detail (the window shows copies).
    const FormStrings& Strings() const { return m_strings; }
    const std::string& Field(FormField field) const { return m_strings[field]; }
    void SetField(FormField field, std::string strText) { m_strings[field] = std::move(strText); }
    void SetRecipient(std::string strName, std::string strAddress);
    const std::string& Status() const { return m_strings.strStatus; }
    void SetStatus(std::string strStatus) { m_strings.strStatus = std::move(strStatus); }
    void AppendStatus(std::string_view text) { m_strings.strStatus.append(text); }
    // Why the last attempt failed, "<step>: <server reply or error>"; empty after a success.
    const std::string& Detail() const { return m_strings.strDetail; }
    void SetDetail(std::string strDetail) { m_strings.strDetail = std::move(strDetail); }
    // Empties the fields, the status line and its detail, as the form starts.
    void Clear() { m_strings = FormStrings(); }

    // The Send command, one attempt, the log entry and the keep copy: see CSendProcedure and
    // CSendLog.
    void OnSend() { m_procedure.OnSend(); }
    void OnResend() { m_procedure.OnResend(); }
    void OnTestSend() { m_procedure.OnTestSend(); }
    MessagePreview Preview() { return m_procedure.Preview(); }
    // What this run's send commands ended with.
    const SendTally& Tally() const { return m_procedure.Tally(); }

    // Fills the strings from a send-information file. Returns 0 when it was read, 1 when its size
    // is 0 or 1024 bytes or more (nothing read). See send/SendInfFile.h.
    int ReadSendInfFile(const std::string& strPath);

    // The automatic sending: see CAutoSend.
    void StartAutomaticSending() { m_autoSend.StartAutomaticSending(); }
    void OnTimer(int nId) { m_autoSend.OnTimer(nId); }
    void OnDestroy() { m_autoSend.OnDestroy(); }
    // A Send command ended without a file error: see CAutoSend::OnSendCommandEnded.
    void OnSendCommandEnded() { m_autoSend.OnSendCommandEnded(); }

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

    // The one-second timer and its countdown.
    const CAutoSend& AutoSender() const { return m_autoSend; }
    CAutoSend& AutoSender() { return m_autoSend; }

  private:
    CSendCancel m_ownCancel;
    CSendCancel& m_cancel;
    FormStrings m_strings;
    CSendProcedure m_procedure;
    CAutoSend m_autoSend;
    CTarvellDoc& m_doc;
    IPlatform& m_platform;
    ISendFormView* m_pView;
    std::string m_strReportedStatus; // the status line as last reported to the platform
};
