// SendJob.cpp - a send command on a worker thread, the window's loop going on meanwhile.
#include "send/SendJob.h"

#include "mail/SendCancel.h"
#include "send/SendForm.h"

#include <exception>
#include <system_error>
#include <thread>

void RunSendJob(CSendForm& form, SendKind kind, CSendMailbox& mailbox,
                const std::function<void(bool)>& showSending,
                const std::function<void(const std::function<bool()>&)>& runLoop)
{
    const auto send = [&form, kind] {
        if (kind == SendKind::Resend)
            form.OnResend();
        else if (kind == SendKind::TestSend)
            form.OnTestSend();
        else
            form.OnSend();
    };
    ClearSendCancel();
    mailbox.Reset();
    showSending(true);
    std::exception_ptr pError;
    std::thread worker;
    try
    {
        worker = std::thread([&] {
            try
            {
                send();
            }
            catch (...)
            {
                pError = std::current_exception();
            }
            mailbox.Finish();
        });
    }
    catch (const std::system_error&)
    {
        showSending(false);
        send(); // no thread to send on: the send runs here, the window frozen meanwhile
        return;
    }
    runLoop([&mailbox] { return mailbox.Drain(); });
    worker.join();
    showSending(false);
    if (pError)
        std::rethrow_exception(pError);
}
