// SendMailbox.cpp - the worker-to-window queue of a running send.
#include "send/SendMailbox.h"

void CSendMailbox::Post(std::function<void()> job)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.push_back(Job{std::move(job), nullptr});
}

void CSendMailbox::Call(const std::function<void()>& job)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    bool bDone = false;
    m_jobs.push_back(Job{job, &bDone});
    m_ran.wait(lock, [&] { return bDone; });
}

void CSendMailbox::Finish()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_bFinished = true;
}

bool CSendMailbox::Drain()
{
    for (;;)
    {
        Job job;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (m_jobs.empty())
                return m_bFinished;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        // Run without the lock: a job may open a modal box whose own event loop drains again.
        job.run();
        if (job.pbDone != nullptr)
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            *job.pbDone = true;
            m_ran.notify_all();
        }
    }
}

void CSendMailbox::Reset()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.clear();
    m_bFinished = false;
}
