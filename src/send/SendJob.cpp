// SendJob.cpp - a send command on a worker thread, the window's loop going on meanwhile.
#include "send/SendJob.h"

#include "app/CommandIds.h"
#include "send/SendForm.h"

#include <exception>
#include <system_error>
#include <thread>
#include <utility>

void CSendJob::Abort()
{
    if (m_bRunning)
        m_cancel.Request();
}

bool CommandRunsWhileSending(int nId)
{
    switch (nId)
    {
    case ID_EXIT_BUTTON:
    case ID_APP_EXIT:
    case ID_APP_ABOUT:
    case ID_SUPPORT_PAGE:
    case ID_OPEN_APP_DIR:
    case ID_VIEW_LOG:
    case ID_VIEW_KEEP:
    case ID_VIEW_TRACE:
        return true;
    default:
        return false;
    }
}

void CSendJob::ShowStrings(bool bOnWindowThread, FormStrings strings,
                           const std::function<void(const FormStrings&)>& show)
{
    if (bOnWindowThread)
        show(strings);
    else
        m_mailbox.Post([show, copy = std::move(strings)] { show(copy); });
}

bool CSendJob::DeferClose()
{
    if (!m_bRunning)
        return false;
    m_bCloseWhenEnded = true;
    m_cancel.Request();
    return true;
}

bool CSendJob::Run(CSendForm& form, SendKind kind, const std::function<void(bool)>& showSending,
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
    m_cancel.Clear();
    m_mailbox.Reset();
    m_bCloseWhenEnded = false;
    m_bRunning = true;
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
            m_mailbox.Finish();
        });
    }
    catch (const std::system_error&)
    {
        m_bRunning = false;
        showSending(false);
        send(); // no thread to send on: the send runs here, the window frozen meanwhile
        return false;
    }
    runLoop([this] { return m_mailbox.Drain(); });
    worker.join();
    m_bRunning = false;
    showSending(false);
    if (pError)
        std::rethrow_exception(pError);
    return m_bCloseWhenEnded;
}
