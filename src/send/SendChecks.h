// SendChecks.h - the questions of a send command before its first connection: a body file written
// in UTF-8, and characters that the ISO-2022-JP wire form cannot carry faithfully.
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
