// SendMailbox.h - how a send running on a worker thread reaches the window's thread without a
// toolkit: the worker posts what the window should show (status changes, trace notes) without
// waiting, and hands over a call that needs an answer (a message box, a question) and waits for
// it; the window's thread runs what is waiting when it drains the mailbox (a timer of the window
// while the send runs). Only standard mutexes and condition variables cross the threads, so the
// hand-over is visible to ThreadSanitizer and never needs the window's toolkit to be thread-aware.
// The window's thread keeps draining until the send has finished, so a waiting worker is always
// answered.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class CSendMailbox
{
  public:
    // Worker: queues job to run on the window's thread and returns at once.
    void Post(std::function<void()> job);
    // Worker: queues job and waits until the window's thread has run it.
    void Call(const std::function<void()>& job);
    // Worker: the send has ended; the window stops waiting once it has drained the mailbox.
    void Finish();

    // Window's thread: runs every queued job in order. Returns true once Finish() was called and
    // nothing is left to run.
    bool Drain();
    // Window's thread: ready for the next send.
    void Reset();

  private:
    struct Job
    {
        std::function<void()> run;
        bool* pbDone = nullptr; // set when a waiting caller's job has run
    };

    std::mutex m_mutex;
    std::condition_variable m_ran;
    std::deque<Job> m_jobs;
    bool m_bFinished = false;
};
