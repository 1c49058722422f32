// SendChecks.h - the checks before sending: the questions of a send command before its first
// connection (a body file written in UTF-8, characters that the ISO-2022-JP wire form cannot carry
// faithfully), and the checks of each attempt before its send operation.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"
#include "mail/MailSender.h"

#include <vector>

// One attempt of a send command, as the command planned it.
struct PlannedAttempt
{
    int nSeq;
    SendRequest request;
    const char* pszRefusal; // a reason found while the request was built, or nullptr
    int nEntry = 0;         // a group member's number in its book (1 to 50)
};

// Before the first connection: a UTF-8 body file, then characters ISO-2022-JP cannot carry in the
// sender's name, the title, the names and the bodies. Asks the user; a replacement is applied to
// sender and attempts. The answers keep the body text that was checked. False when the user chose
// to stop.
bool CheckBeforeSending(IPlatform& platform, std::vector<PlannedAttempt>& attempts,
                        SenderInf& sender, SendAnswers& answers);

// No sender at all (a first send): where to set one up.
constexpr const char* kNoSenderReason =
    "発送元が未設定です。「設定」→「発送元設定」で設定してください";

// What the checks of one attempt found before its send operation.
struct AttemptCheck
{
    // The status line's reason of a failure; empty with a detail for an empty required field,
    // empty without one when the attempt may go on.
    std::string strReason;
    std::string strDetail;
    // The failure was found after the recipient's name was shown on the status line (as it is
    // when the send operation starts).
    bool bNamed = false;
    bool Passed() const { return strReason.empty() && strDetail.empty(); }
};

// The required fields, a refusal found while the request was built (pszRefusal, or nullptr), line
// breaks, the body and attachment files, then the addresses, in that order: the first failure.
AttemptCheck CheckAttempt(const SenderInf& sender, const SendRequest& request,
                          const char* pszRefusal);
