// SendChecks.h - the questions of a send command before its first connection: a body file written
// in UTF-8, and characters that the ISO-2022-JP wire form cannot carry faithfully.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"

#include <cstdint>
#include <vector>

// The body is held whole in memory, composed and kept: a file chosen by mistake (an image, an
// archive) must fail the attempt rather than exhaust the memory. The checks leave a bigger body
// to the attempt, which refuses it.
constexpr std::int64_t MAX_BODY_FILE_SIZE = std::int64_t(256) * 1024 * 1024;

// One attempt of a send command, as the command planned it.
struct PlannedAttempt
{
    int nSeq;
    SendRequest request;
    const char* pszRefusal; // a reason found while the request was built, or nullptr
    int nEntry = 0;         // a group member's number in its book (1 to 50)
};

// The user's answers, which tell the command's attempts how to make the body.
struct SendAnswers
{
    bool bBodyFromUtf8 = false;
    bool bReplaceUnsafe = false;
    // The mails go out in UTF-8, where every character survives: the user's choice, or set before
    // the check when the profile sends UTF-8 (nothing is then asked about such characters).
    bool bSendUtf8 = false;
};

// Before the first connection: a UTF-8 body file, then characters ISO-2022-JP cannot carry in the
// sender's name, the title, the names and the bodies. Asks the user; a replacement is applied to
// sender and attempts. False when the user chose to stop.
bool CheckBeforeSending(IPlatform& platform, std::vector<PlannedAttempt>& attempts,
                        SenderInf& sender, SendAnswers& answers);
