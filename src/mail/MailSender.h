// MailSender.h - one send attempt: POP before SMTP, the envelope, and the composed message.
#pragma once
#include "app/Platform.h"
#include "app/Records.h"

#include <ctime>
#include <string>

class ISocketFactory;

class CMailSender
{
public:
    // Uses real TCP sockets; server fields may carry ":PORT" or "[IPv6]:PORT".
    explicit CMailSender(IPlatform& platform);
    // Uses the given sockets (tests).
    CMailSender(IPlatform& platform, ISocketFactory& sockets);
    virtual ~CMailSender();

    // Result above 0: the whole message was written to the SMTP server. 0: POP3 connection,
    // POP3 log-in or SMTP connection failed. Negative: the failed SMTP step (see SendResult.h).
    // A body or attachment file that cannot be opened raises CFileException.
    int SendPlainMail(const SenderInf& sender, const SendRequest& request);
    int SendMultipartMail(const SenderInf& sender, const SendRequest& request);

    std::string m_strBody;       // the body after placeholder substitution; empty until read
    std::time_t m_timeSend = 0;  // set at the start of every send operation
};
