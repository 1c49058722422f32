// SendResult.cpp - the integer result of a send operation, and the names of the send steps as
// the user sees them in a failure's detail.
#include "mail/SendResult.h"

SendOutcome SendOutcome::Failed(SendCode code, SendStep step, std::string strDetail)
{
    SendOutcome outcome;
    outcome.step = step;
    outcome.code = code;
    outcome.strDetail = std::move(strDetail);
    return outcome;
}

int SendResultOf(const SendOutcome& outcome)
{
    return outcome.Sent() ? outcome.nWritten : Code(outcome.code);
}

const char* SendStepName(SendStep step)
{
    switch (step)
    {
    case SendStep::None:
        return "";
    case SendStep::Check:
        return "送信前の確認";
    case SendStep::PopConnect:
        return "POP3 接続";
    case SendStep::PopGreeting:
        return "POP3 挨拶";
    case SendStep::PopUser:
        return "USER";
    case SendStep::PopPass:
        return "PASS";
    case SendStep::SmtpConnect:
        return "SMTP 接続";
    case SendStep::SmtpGreeting:
        return "SMTP 挨拶";
    case SendStep::Helo:
        return "HELO";
    case SendStep::MailFrom:
        return "MAIL FROM";
    case SendStep::RcptTo:
        return "RCPT TO";
    case SendStep::Data:
        return "DATA";
    case SendStep::HeaderLines:
        return "ヘッダー送信";
    case SendStep::MessageData:
        return "本文送信";
    case SendStep::EndOfData:
        return "本文の受理";
    case SendStep::PopTls:
        return "POP3 暗号化";
    case SendStep::SmtpTls:
        return "SMTP 暗号化";
    case SendStep::SmtpAuth:
        return "SMTP 認証";
    case SendStep::PopAuth:
        return "POP3 認証";
    }
    return "";
}
