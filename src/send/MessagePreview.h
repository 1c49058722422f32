// MessagePreview.h - the mail one recipient would get, composed exactly as a send composes it but
// handed to an in-memory server instead of the network: what a reader shows of it, and its source.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"
#include "mail/DeliveryProfile.h"
#include "mail/MailSender.h"

#include <string>

struct MessagePreview
{
    bool bComposed = false;
    std::string strShown;   // From, To, subject, date, attachment and body as a reader shows them
    std::string strSource;  // the message as it would go out after DATA (CP932 for the body text
                            // where the wire holds ISO-2022-JP; header words stay encoded)
    std::string strProblem; // why nothing could be composed (CP932)
};

// Composes request from sender under profile's charset; the transport settings (TLS, log-in) do
// not change the message and are not used. answers: those of the questions before sending, with
// the body text they read.
MessagePreview PreviewMessage(IPlatform& platform, const SenderInf& sender,
                              const SendRequest& request, const DeliveryProfile& profile,
                              const SendAnswers& answers);
