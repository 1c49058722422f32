// TickLoop.h - timers without a toolkit: each calls its callback every period on the thread that
// runs the loop, and the loop sleeps to the next due tick. A tick that comes late (a send ran
// meanwhile) is run once, and the next one is a whole period after it, as an event loop does.
#pragma once
#include "send/TickClock.h"

#include <functional>
#include <map>

class CTickLoop
{
  public:
    explicit CTickLoop(ITickClock& clock = SystemTickClock()) : m_clock(clock) {}

    // Timer nId (replacing one of that id) calls onTick(nId) every nPeriodMs, the first time one
    // period from now. False for a period below one millisecond.
    bool StartTimer(int nId, int nPeriodMs, std::function<void(int)> onTick);
    // Also from the timer's own tick.
    void StopTimer(int nId);
    bool HasTimer(int nId) const { return m_timers.count(nId) != 0; }

    // Runs the ticks until Quit was called or stopWhen (when given) returns true; both are looked
    // at between ticks and at least every SLICE_MS while the loop sleeps. Without timers it only
    // waits for that.
    void Run(const std::function<bool()>& stopWhen = nullptr);
    // Ends Run once the tick running now has returned; before Run, Run returns at once.
    void Quit() { m_bQuit = true; }
    bool QuitAsked() const { return m_bQuit; }

    static constexpr int SLICE_MS = 100;

  private:
    struct Timer
    {
        int nPeriodMs;
        long long nDueMs;
        std::function<void(int)> onTick;
    };

    ITickClock& m_clock;
    std::map<int, Timer> m_timers;
    bool m_bQuit = false;
};
