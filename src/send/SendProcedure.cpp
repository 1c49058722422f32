// SendProcedure.cpp - the Send command: group sends and the checks, status texts and records of
// one send attempt.
#include "send/SendProcedure.h"

#include "addr/AddressBook.h"
#include "app/AppFiles.h"
#include "app/Command.h"
#include "app/FileSystem.h"
#include "app/Sjis.h"
#include "mail/MailSender.h"
#include "mail/SendCancel.h"
#include "mail/SendResult.h"
#include "send/DeliveryFile.h"
#include "send/FailureReason.h"
#include "send/SendForm.h"
#include "send/SendTrace.h"

#include <cstdint>
#include <memory>

namespace
{
// Status line pieces, joined without separators; the blank belongs to the two "started" pieces.
constexpr const char* STATUS_PLAIN_STARTED = " 添付ファイルなし送信開始-";
constexpr const char* STATUS_MULTIPART_STARTED = " 添付ファイルあり送信開始-";
constexpr const char* STATUS_SENT = "送信成功";
constexpr const char* STATUS_FAILED = "送信失敗-";

constexpr const char* REASON_CANCELLED = "中止しました";

// The longest server reply a detail shows, in bytes.
constexpr std::size_t MAX_DETAIL_REPLY = 200;

// "<step>: <text>", the text cut to MAX_DETAIL_REPLY bytes at a character boundary, its control
// bytes shown as "?" so a server cannot write to the user's terminal.
std::string FormatDetail(SendStep step, const std::string& strText)
{
    std::string strShown(CutAtCharBoundary(strText, MAX_DETAIL_REPLY));
    for (char& c : strShown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return std::string(SendStepName(step)) + ": " + strShown;
}

// Copies one form value into its request field. A value too long for the field is cut at a
// character boundary, so the log shows what it can, and the refusal names the first such field:
// the attempt then fails before anything is opened, so a cut address or path is never used.
template <std::size_t N>
void FillField(char (&szField)[N], const std::string& strValue, const char* pszTooLong,
               const char*& pszRefusal)
{
    SetField(szField, strValue);
    if (strValue.size() > N - 1 && pszRefusal == nullptr)
        pszRefusal = pszTooLong;
}

// Fills the parts of a request that a group send shares between its members.
const char* FillShared(SendRequest& request, const FormStrings& form)
{
    const char* pszRefusal = nullptr;
    FillField(request.szTitle, form[FormField::Title], "タイトルが長すぎます", pszRefusal);
    FillField(request.szTextFile, form[FormField::TextFile], "本文ファイル名が長すぎます",
              pszRefusal);
    FillField(request.szBinFile, form[FormField::BinFile], "添付ファイル名が長すぎます",
              pszRefusal);
    return pszRefusal;
}
} // namespace

CSendProcedure::CSendProcedure(CSendForm& form, CTarvellDoc& doc, IPlatform& platform,
                               const CSendCancel& cancel)
    : m_form(form), m_log(doc), m_doc(doc), m_platform(platform), m_cancel(cancel),
      m_sockets(&cancel)
{
}

CSendProcedure::~CSendProcedure() = default;

CSendTrace& CSendProcedure::Trace()
{
    if (!m_pTrace)
        m_pTrace =
            std::make_unique<CSendTrace>(m_platform, std::string(m_doc.m_szAppDir) + kTracePath);
    return *m_pTrace;
}

void CSendProcedure::OnResend()
{
    m_bResend = true;
    OnSend();
    m_bResend = false;
}

void CSendProcedure::OnTestSend()
{
    m_bToSender = true;
    OnSend();
    m_bToSender = false;
}

MessagePreview CSendProcedure::Preview()
{
    MessagePreview preview;
    const bool bCompleted = RunCommand(m_platform, [&] {
        m_form.ReadForm();
        SendRequest request;
        const char* pszRefusal = FillShared(request, m_form.Strings());
        if (IsGroupReference(m_form.Field(FormField::ToAddress)))
        {
            // A group's first member stands for all: the others differ only in name and address.
            auto book = std::make_unique<AddressBook>();
            if (!LoadBook(PathInFolder(m_doc.m_szAppDir, m_form.Field(FormField::ToAddress)),
                          *book))
                return;
            bool bFound = false;
            WalkGroupBook(*book, [&](int, const AddressEntry& entry) {
                if (bFound)
                    return;
                bFound = true;
                SetField(request.szName, FieldText(entry.szName));
                SetField(request.szAddress, FieldText(entry.szAddress));
            });
        }
        else
        {
            FillField(request.szName, m_form.Field(FormField::ToName), "宛先名が長すぎます",
                      pszRefusal);
            FillField(request.szAddress, m_form.Field(FormField::ToAddress),
                      "宛先アドレスが長すぎます", pszRefusal);
        }
        if (pszRefusal != nullptr)
            preview.strProblem = pszRefusal;
        else if (request.szName[0] == '\0' || request.szAddress[0] == '\0' ||
                 request.szTitle[0] == '\0' || request.szTextFile[0] == '\0')
            preview.strProblem = "必須の項目が空です";
        if (!preview.strProblem.empty())
            return;
        // The same checks as a send, so the preview shows the body the send would compose.
        std::vector<PlannedAttempt> attempts{PlannedAttempt{0, request, nullptr}};
        SenderInf sender = m_doc.m_sender;
        SendAnswers answers;
        const DeliveryProfile profile = ReadProfile();
        answers.bSendUtf8 = profile.charset == MailCharset::utf8;
        if (!CheckBeforeSending(m_platform, attempts, sender, answers))
        {
            preview.strProblem = "中止しました";
            return;
        }
        preview = PreviewMessage(m_platform, sender, attempts.front().request, profile, answers);
    });
    if (!bCompleted && preview.strProblem.empty())
        preview.strProblem = "ファイルを読めません";
    return preview;
}

void CSendProcedure::OnSend()
{
    // "/resend" makes the automatic send a resend.
    m_bResend =
        m_bResend || (m_doc.GetResend() != 0 && m_doc.GetAutoSend() == AutoSendState::Running);
    m_nAttemptsLeft = 0;
    m_bRecordingDelivered = false;
    m_pTrace.reset(); // each send command writes its own trace
    m_answers = SendAnswers();
    const bool bCompleted = RunCommand(m_platform, [this] {
        // A refused field leaves its string as it was; the command goes on with the strings as
        // they stand.
        m_form.ReadForm();
        if (!m_bToSender && IsGroupReference(m_form.Field(FormField::ToAddress)))
            SendToGroup();
        else
            SendSingle();
        m_form.OnSendCommandEnded();
    });
    m_answers = SendAnswers(); // the checked body text is not held between commands
    // A file error while the last mail's log entry or keep copy was written leaves every mail
    // sent; any other leaves a mail unsent.
    if (!bCompleted && m_bRecordingDelivered && m_nAttemptsLeft == 0)
        ++m_tally.nUnrecorded;
    else if (!bCompleted)
        ++m_tally.nFailed;
    m_bResend = false;
}

void CSendProcedure::SendToGroup()
{
    // The address is a book's file name in the program folder; one holding "/" could reach
    // another folder and raises the file error instead.
    const std::string strPath = PathInFolder(m_doc.m_szAppDir, m_form.Field(FormField::ToAddress));
    auto book = std::make_unique<AddressBook>();
    if (!LoadBook(strPath, *book))
        return; // not a book: nothing is sent, logged or shown

    SendRequest request;
    const char* pszRefusal = FillShared(request, m_form.Strings());
    std::vector<PlannedAttempt> attempts;
    CGroupResults results;
    const std::time_t timeNow = m_platform.Now();
    WalkGroupBook(
        *book,
        [&](int nSeq, const AddressEntry& entry) {
            SetField(request.szName, FieldText(entry.szName));
            SetField(request.szAddress, FieldText(entry.szAddress));
            attempts.push_back(PlannedAttempt{nSeq, request, pszRefusal,
                                              static_cast<int>(&entry - book->entries) + 1});
        },
        [&](int nEntry, const AddressEntry& entry, const char* pszWhy) {
            results.Add(MemberResult{nEntry, FieldText(entry.szName), FieldText(entry.szAddress),
                                     MemberStatus::Skipped, pszWhy, "", timeNow});
        });
    m_strGroupBook = m_form.Field(FormField::ToAddress);
    m_timeGroupStart = timeNow;
    m_groupMail = GroupMail{FieldText(request.szTitle), FieldText(request.szTextFile),
                            FieldText(request.szBinFile)};
    if (m_bResend)
    {
        const auto last = CGroupResults::LastResults(m_doc.m_szAppDir, m_strGroupBook, m_groupMail);
        std::erase_if(attempts, [&](const PlannedAttempt& attempt) {
            const auto found = last.find(FieldText(attempt.request.szAddress));
            return found == last.end() || found->second == MemberStatus::Sent;
        });
        if (last.empty() || attempts.empty())
        {
            // Nothing to resend is no failure: the status line says why nothing went out.
            m_form.SetStatus(last.empty()
                                 ? "再送信: このグループとこのメールの前回の結果がありません"
                                 : "再送信: 送れなかった宛先はありません");
            m_form.ShowForm();
            return;
        }
    }
    RunAttempts(attempts, &results);
}

void CSendProcedure::SendSingle()
{
    // The test send: the form's mail to the sender's own address; the form keeps its recipient.
    const std::string strToName =
        m_bToSender ? FieldText(m_doc.m_sender.szName) : m_form.Field(FormField::ToName);
    const std::string strToAddress =
        m_bToSender ? FieldText(m_doc.m_sender.szMailAddress) : m_form.Field(FormField::ToAddress);
    if (strToName.empty() || strToAddress.empty())
    {
        if (m_bToSender)
        {
            m_form.SetStatus(kNoSenderReason);
            m_form.ShowForm();
        }
        return;
    }
    if (m_bResend)
    {
        m_form.SetStatus("再送信: 宛先にグループ (@で始まるアドレス帳) を指定してください");
        m_form.ShowForm();
        return;
    }
    SendRequest request;
    const char* pszRefusal = nullptr;
    FillField(request.szName, strToName, "宛先名が長すぎます", pszRefusal);
    FillField(request.szAddress, strToAddress, "宛先アドレスが長すぎます", pszRefusal);
    const char* pszShared = FillShared(request, m_form.Strings());
    std::vector<PlannedAttempt> attempts{
        PlannedAttempt{0, request, pszRefusal != nullptr ? pszRefusal : pszShared}};
    RunAttempts(attempts, nullptr);
}

namespace
{
// A failure that is not the member's: the next member would meet it too (the connection, TLS,
// the greeting, the log-in, a refused Delivery.ini).
bool IsSessionFault(const SendOutcome& outcome)
{
    switch (outcome.step)
    {
    case SendStep::PopConnect:
    case SendStep::PopGreeting:
    case SendStep::PopUser:
    case SendStep::PopPass:
    case SendStep::PopTls:
    case SendStep::PopAuth:
    case SendStep::SmtpConnect:
    case SendStep::SmtpGreeting:
    case SendStep::Helo:
    case SendStep::SmtpTls:
    case SendStep::SmtpAuth:
        return true;
    default:
        return outcome.code == SendCode::ProfileRefused;
    }
}

// A refusal that may pass: a 4xx reply to MAIL, RCPT or DATA. After the end of the data nothing is
// retried, as the server may have taken the mail.
bool IsTransient(const SendOutcome& outcome)
{
    return (outcome.step == SendStep::MailFrom || outcome.step == SendStep::RcptTo ||
            outcome.step == SendStep::Data) &&
           !outcome.strDetail.empty() && outcome.strDetail[0] == '4';
}

// A refusal that says the server takes no more for now ("421 4.7.0 Too many messages", "451 too
// many recipients this hour").
bool SaysTooMany(const std::string& strReply)
{
    std::string strLower = strReply;
    for (char& c : strLower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return strLower.find("too many") != std::string::npos;
}
} // namespace

void CSendProcedure::RunAttempts(std::vector<PlannedAttempt>& attempts, CGroupResults* pResults)
{
    if (attempts.empty())
    {
        if (pResults != nullptr && !pResults->Members().empty())
            EndGroupSend(*pResults); // only skipped entries: the user still learns why
        return;
    }
    m_nAttemptsLeft = static_cast<int>(attempts.size());
    SenderInf sender = m_doc.m_sender;
    const DeliveryProfile profile = ReadProfile();
    m_answers.bSendUtf8 = profile.charset == MailCharset::utf8;
    const bool bChecked = CheckBeforeSending(m_platform, attempts, sender, m_answers);
    if (!bChecked && !m_cancel.Requested())
        return; // the user answered 中止: nothing is sent or logged
    // In the classic profile every member is tried whatever happens; a modern profile stops
    // at a fault the next member would meet as well.
    const bool bStopAtSessionFault = pResults != nullptr && profile.IsModernSmtp();
    int nInterval = EffectiveSendInterval(profile);
    for (std::size_t i = 0; i < attempts.size(); ++i)
    {
        // A cancelled command makes no further attempt; the one that was running failed and
        // was logged, the ones after it are not tried.
        if (!bChecked || m_cancel.Requested() ||
            (i > 0 && nInterval > 0 && !WaitUnlessStopped(nInterval, "次の宛先まで")))
        {
            RecordNotTried(attempts, i, pResults, REASON_CANCELLED);
            m_form.SetStatus("送信を中止しました (未送信 " + std::to_string(attempts.size() - i) +
                             " 件)");
            m_form.ShowForm();
            Trace().Note(m_form.Status());
            break;
        }
        const PlannedAttempt& attempt = attempts[i];
        const AttemptReport report =
            RunAttemptWithRetries(attempt, sender, profile, pResults != nullptr);
        Count(report);
        // A server that said it gets too many messages is given more time between members.
        if (report.bThrottled)
            nInterval = std::min(std::max(nInterval * 2, kRetryWaitSeconds[0]), kMaxSendInterval);
        if (pResults != nullptr)
        {
            const bool bSent = report.result == AttemptResult::Sent;
            pResults->Add(
                MemberResult{attempt.nEntry, FieldText(attempt.request.szName),
                             FieldText(attempt.request.szAddress),
                             bSent               ? MemberStatus::Sent
                             : report.bCancelled ? MemberStatus::Cancelled
                                                 : MemberStatus::Failed,
                             report.strReason,
                             bSent ? report.outcome.strAcceptedReply : report.outcome.strDetail,
                             report.outcome.timeSend});
        }
        if (bStopAtSessionFault && report.result != AttemptResult::Sent && !report.bCancelled &&
            IsSessionFault(report.outcome) && i + 1 < attempts.size())
        {
            RecordNotTried(attempts, i + 1, pResults,
                           "前の宛先の失敗 (" + report.strReason + ") で送信を止めました");
            break;
        }
    }
    if (pResults != nullptr)
        EndGroupSend(*pResults);
}

void CSendProcedure::RecordNotTried(const std::vector<PlannedAttempt>& attempts, std::size_t nFirst,
                                    CGroupResults* pResults, const std::string& strReason)
{
    m_tally.nStopped += static_cast<int>(attempts.size() - nFirst);
    m_nAttemptsLeft = 0;
    if (pResults == nullptr)
        return;
    for (std::size_t i = nFirst; i < attempts.size(); ++i)
        pResults->Add(MemberResult{attempts[i].nEntry, FieldText(attempts[i].request.szName),
                                   FieldText(attempts[i].request.szAddress), MemberStatus::NotSent,
                                   strReason, "", 0});
}

CSendProcedure::AttemptReport CSendProcedure::RunAttemptWithRetries(const PlannedAttempt& attempt,
                                                                    const SenderInf& sender,
                                                                    const DeliveryProfile& profile,
                                                                    bool bGroup)
{
    bool bThrottled = false;
    for (std::size_t nTry = 0;; ++nTry)
    {
        AttemptReport report =
            RunAttempt(attempt.nSeq, sender, attempt.request, attempt.pszRefusal, profile);
        const bool bTransient = IsTransient(report.outcome);
        bThrottled = bThrottled || (bTransient && SaysTooMany(report.outcome.strDetail));
        report.bThrottled = bThrottled;
        if (!bGroup || report.result == AttemptResult::Sent || report.bCancelled || !bTransient ||
            nTry == std::size(kRetryWaitSeconds))
            return report;
        // The attempt that failed was logged; the member's result is the last try's.
        ++m_nAttemptsLeft;
        if (!WaitUnlessStopped(kRetryWaitSeconds[nTry],
                               FieldText(attempt.request.szName) + " 再試行まで"))
        {
            --m_nAttemptsLeft;
            report.bCancelled = true;
            report.strReason = REASON_CANCELLED;
            return report;
        }
    }
}

bool CSendProcedure::WaitUnlessStopped(int nSeconds, const std::string& strWhat)
{
    const std::string strBefore = m_form.Status();
    for (int nLeft = nSeconds; nLeft > 0; --nLeft)
    {
        m_form.SetStatus(strWhat + " " + std::to_string(nLeft) + " 秒");
        m_form.ShowForm();
        for (int nSlice = 0; nSlice < 10; ++nSlice)
        {
            if (m_cancel.Requested())
                return false;
            m_platform.Pause(100);
        }
    }
    m_form.SetStatus(strBefore);
    return !m_cancel.Requested();
}

void CSendProcedure::Count(const AttemptReport& report)
{
    if (report.result == AttemptResult::Sent)
        ++m_tally.nDelivered;
    else
        ++m_tally.nFailed;
}

void CSendProcedure::EndGroupSend(const CGroupResults& results)
{
    const std::string strSummary = results.SummaryText();
    std::string strProblems = results.ProblemsText();
    try
    {
        const std::string strPath =
            results.Write(m_doc.m_szAppDir, m_strGroupBook, m_timeGroupStart, m_groupMail);
        if (!strProblems.empty())
            strProblems += "\n結果ファイル: " + ShownPath(strPath);
    }
    catch (const CFileException& e)
    {
        // Every mail went out as it did; only the record of it is missing.
        m_platform.ReportFileError(e);
        ++m_tally.nUnrecorded;
    }
    // The status line keeps the last attempt's text; its detail (the tooltip) leads with the
    // summary.
    m_form.SetDetail(m_form.Detail().empty() ? strSummary : strSummary + "\n" + m_form.Detail());
    m_form.ShowForm();
    Trace().Note("集計: " + strSummary);
    m_platform.GroupSendEnded(strSummary, strProblems,
                              m_doc.GetAutoSend() != AutoSendState::Running);
}

DeliveryProfile CSendProcedure::ReadProfile() const
{
    return ReadDeliveryProfile(std::string(m_doc.m_szAppDir) + kDeliveryFileName);
}

IAccessTokenSource* CSendProcedure::AccessTokens(const DeliveryProfile& profile)
{
    const std::string strProfile = FormatDeliveryProfile(profile, true);
    if (m_pAccessTokens == nullptr || strProfile != m_strTokensProfile)
    {
        m_pAccessTokens = MakeAccessTokenSource(profile, m_doc.m_szAppDir, &m_sockets);
        m_strTokensProfile = strProfile;
    }
    return m_pAccessTokens.get();
}

CSendProcedure::AttemptReport CSendProcedure::RunAttempt(int nSeq, const SenderInf& sender,
                                                         const SendRequest& request,
                                                         const char* pszRefusal,
                                                         const DeliveryProfile& profile)
{
    std::string strReason;
    bool bSendRan = false;
    bool bSent = false;
    SendOutcome outcome;
    CSendTrace& trace = Trace();
    trace.BeginAttempt(FieldText(request.szName), FieldText(request.szAddress));
    MailOptions options;
    options.profile = profile;
    options.pTrace = &trace;
    options.pAccessTokens = AccessTokens(profile);
    options.answers = m_answers;
    CMailSender mail(m_platform, m_sockets, options);
    m_form.SetStatus(std::string());
    m_form.SetDetail(std::string());
    m_form.ShowForm();

    const AttemptCheck check = CheckAttempt(sender, request, pszRefusal);
    if (check.bNamed)
    {
        m_form.AppendStatus(FieldText(request.szName));
        m_form.ShowForm();
    }
    if (!check.Passed())
    {
        strReason = check.strReason;
        outcome.strDetail = check.strDetail;
    }
    else
    {
        const bool bMultipart = request.szBinFile[0] != '\0';
        m_form.AppendStatus(bMultipart ? STATUS_MULTIPART_STARTED : STATUS_PLAIN_STARTED);
        m_form.ShowForm();
        bSendRan = true;
        outcome = mail.Deliver(sender, request, bMultipart);
        bSent = outcome.Sent();
        if (!bSent)
            strReason = FailureReason(outcome, profile);
    }
    // A send stopped by the user (中止, Escape, closing, a signal) is told as such, never as the
    // server error the broken connection left behind.
    AttemptReport report;
    report.bCancelled = !bSent && bSendRan && m_cancel.Requested();
    if (report.bCancelled)
    {
        strReason = REASON_CANCELLED;
        outcome.strDetail = REASON_CANCELLED;
    }

    const AttemptResult result = bSent ? AttemptResult::Sent : AttemptResult::Failed;
    if (bSent)
        m_form.AppendStatus(STATUS_SENT);
    else
    {
        m_form.AppendStatus(STATUS_FAILED + strReason);
        // A failure found before the send operation ran is told by its reason.
        if (outcome.step == SendStep::None)
            outcome.step = SendStep::Check;
        m_form.SetDetail(
            FormatDetail(outcome.step, outcome.strDetail.empty() ? strReason : outcome.strDetail));
    }
    m_form.ShowForm();
    trace.Note(m_form.Status());
    if (!bSent)
    {
        trace.Note(m_form.Detail());
        m_platform.SendFailureDetail(m_form.Detail());
    }

    if (!bSendRan)
        outcome.timeSend = m_platform.Now();
    if (m_nAttemptsLeft > 0)
        --m_nAttemptsLeft;
    m_bRecordingDelivered = bSent;
    m_log.WriteSendLog(result, outcome.timeSend, request);
    m_log.WriteKeepCopy(nSeq, outcome.timeSend, outcome.strBody, request);
    m_bRecordingDelivered = false;
    report.result = result;
    report.strReason = bSent ? std::string() : strReason;
    report.outcome = std::move(outcome);
    return report;
}
